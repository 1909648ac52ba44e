#include <zaveklogicalids.h>

#include <algorithm>
#include <iterator>

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

struct Identifier
{
    const char *nameSpace;
    const char *member;
    const char *const *variable;
};

// Every exported identifier variable, by qualified name.
const Identifier identifiers[] = {
    { "qtn_asnc", "error_system_error", &qtn_asnc::error_system_error },
    { "qtn_asnc", "drafts_sync_notice", &qtn_asnc::drafts_sync_notice },
    { "qtn_asnc", "drafts_sync_notice_title", &qtn_asnc::drafts_sync_notice_title },
    { "qtn_asnc", "error_invalid_credentials", &qtn_asnc::error_invalid_credentials },
    { "qtn_acc", "auth_failed_infobanner", &qtn_acc::auth_failed_infobanner },
    { "qtn_acc", "sel_acc_title", &qtn_acc::sel_acc_title },
    { "qtn_acc", "sel_pro_ser_email", &qtn_acc::sel_pro_ser_email },
    { "qtn_comm", "appname_mail", &qtn_comm::appname_mail },
    { "qtn_comm", "Delete", &qtn_comm::Delete },
    { "qtn_comm", "bytes", &qtn_comm::bytes },
    { "qtn_comm", "cancel", &qtn_comm::cancel },
    { "qtn_comm", "command_accounts", &qtn_comm::command_accounts },
    { "qtn_comm", "command_continue", &qtn_comm::command_continue },
    { "qtn_comm", "command_done", &qtn_comm::command_done },
    { "qtn_comm", "command_favorite", &qtn_comm::command_favorite },
    { "qtn_comm", "command_mark_all", &qtn_comm::command_mark_all },
    { "qtn_comm", "command_no", &qtn_comm::command_no },
    { "qtn_comm", "command_unmark_all", &qtn_comm::command_unmark_all },
    { "qtn_comm", "command_unmark_favorite", &qtn_comm::command_unmark_favorite },
    { "qtn_comm", "command_yes", &qtn_comm::command_yes },
    { "qtn_comm", "content_save_as", &qtn_comm::content_save_as },
    { "qtn_comm", "close", &qtn_comm::close },
    { "qtn_comm", "forward", &qtn_comm::forward },
    { "qtn_comm", "gigabytes", &qtn_comm::gigabytes },
    { "qtn_comm", "kilobytes", &qtn_comm::kilobytes },
    { "qtn_comm", "megabytes", &qtn_comm::megabytes },
    { "qtn_comm", "next", &qtn_comm::next },
    { "qtn_comm", "no_default_app", &qtn_comm::no_default_app },
    { "qtn_comm", "ok", &qtn_comm::ok },
    { "qtn_comm", "reply", &qtn_comm::reply },
    { "qtn_comm", "reply_all", &qtn_comm::reply_all },
    { "qtn_comm", "search", &qtn_comm::search },
    { "qtn_comm", "send", &qtn_comm::send },
    { "qtn_comm", "settings", &qtn_comm::settings },
    { "qtn_comm", "share_unknown_error", &qtn_comm::share_unknown_error },
    { "qtn_comm", "sort_by", &qtn_comm::sort_by },
    { "qtn_comm", "time_day_ago", &qtn_comm::time_day_ago },
    { "qtn_comm", "time_month_ago", &qtn_comm::time_month_ago },
    { "qtn_comm", "time_today", &qtn_comm::time_today },
    { "qtn_comm", "time_week_ago", &qtn_comm::time_week_ago },
    { "qtn_comm", "time_year_ago", &qtn_comm::time_year_ago },
    { "qtn_comm", "time_yesterday", &qtn_comm::time_yesterday },
    { "qtn_cont", "remove", &qtn_cont::remove },
    { "qtn_cont", "sendcard", &qtn_cont::sendcard },
    { "qtn_mail", "add_cc_bcc", &qtn_mail::add_cc_bcc },
    { "qtn_mail", "add_files", &qtn_mail::add_files },
    { "qtn_mail", "are_you_sure", &qtn_mail::are_you_sure },
    { "qtn_mail", "attachment_delete_query", &qtn_mail::attachment_delete_query },
    { "qtn_mail", "attachments", &qtn_mail::attachments },
    { "qtn_mail", "bcc", &qtn_mail::bcc },
    { "qtn_mail", "cannot_connect_server", &qtn_mail::cannot_connect_server },
    { "qtn_mail", "cannot_retrieve_message_error", &qtn_mail::cannot_retrieve_message_error },
    { "qtn_mail", "cannot_move_message_error", &qtn_mail::cannot_move_message_error },
    { "qtn_mail", "cc", &qtn_mail::cc },
    { "qtn_mail", "changepriority", &qtn_mail::changepriority },
    { "qtn_mail", "checking_mailbox", &qtn_mail::checking_mailbox },
    { "qtn_mail", "choose_folder", &qtn_mail::choose_folder },
    { "qtn_mail", "connecting_to_server", &qtn_mail::connecting_to_server },
    { "qtn_mail", "combined_inbox", &qtn_mail::combined_inbox },
    { "qtn_mail", "composer", &qtn_mail::composer },
    { "qtn_mail", "create_event", &qtn_mail::create_event },
    { "qtn_mail", "date", &qtn_mail::date },
    { "qtn_mail", "default_mailbox", &qtn_mail::default_mailbox },
    { "qtn_mail", "delete_all_confirmation", &qtn_mail::delete_all_confirmation },
    { "qtn_mail", "delete_mails", &qtn_mail::delete_mails },
    { "qtn_mail", "deletethread", &qtn_mail::deletethread },
    { "qtn_mail", "restore_failed_error", &qtn_mail::restore_failed_error },
    { "qtn_mail", "download", &qtn_mail::download },
    { "qtn_mail", "download_completed", &qtn_mail::download_completed },
    { "qtn_mail", "draft_query", &qtn_mail::draft_query },
    { "qtn_mail", "draft_query_close", &qtn_mail::draft_query_close },
    { "qtn_mail", "draft_query_save", &qtn_mail::draft_query_save },
    { "qtn_mail", "drafts_folder", &qtn_mail::drafts_folder },
    { "qtn_mail", "empty_state", &qtn_mail::empty_state },
    { "qtn_mail", "empty_state_desc2", &qtn_mail::empty_state_desc2 },
    { "qtn_mail", "empty_state_start", &qtn_mail::empty_state_start },
    { "qtn_mail", "error_disk_full", &qtn_mail::error_disk_full },
    { "qtn_mail", "failed", &qtn_mail::failed },
    { "qtn_mail", "favorite_promotion", &qtn_mail::favorite_promotion },
    { "qtn_mail", "fill_in_email_infobanner", &qtn_mail::fill_in_email_infobanner },
    { "qtn_mail", "fill_in_mailbox_name", &qtn_mail::fill_in_mailbox_name },
    { "qtn_mail", "fill_in_port_infobanner", &qtn_mail::fill_in_port_infobanner },
    { "qtn_mail", "fill_in_server_infobanner", &qtn_mail::fill_in_server_infobanner },
    { "qtn_mail", "folder_subscritions", &qtn_mail::folder_subscritions },
    { "qtn_mail", "folder_subscritions_descr", &qtn_mail::folder_subscritions_descr },
    { "qtn_mail", "forwarded_message", &qtn_mail::forwarded_message },
    { "qtn_mail", "from", &qtn_mail::from },
    { "qtn_mail", "generic_error", &qtn_mail::generic_error },
    { "qtn_mail", "get_more_mails", &qtn_mail::get_more_mails },
    { "qtn_mail", "headers", &qtn_mail::headers },
    { "qtn_mail", "id", &qtn_mail::id },
    { "qtn_mail", "inbox_folder", &qtn_mail::inbox_folder },
    { "qtn_mail", "inbox_name", &qtn_mail::inbox_name },
    { "qtn_mail", "include_sign", &qtn_mail::include_sign },
    { "qtn_mail", "invalidemailaddress", &qtn_mail::invalidemailaddress },
    { "qtn_mail", "list_divider_older", &qtn_mail::list_divider_older },
    { "qtn_mail", "mark_all_read", &qtn_mail::mark_all_read },
    { "qtn_mail", "mark_as_done", &qtn_mail::mark_as_done },
    { "qtn_mail", "markasread", &qtn_mail::markasread },
    { "qtn_mail", "markastodo", &qtn_mail::markastodo },
    { "qtn_mail", "markasunread", &qtn_mail::markasunread },
    { "qtn_mail", "message_body_prompt", &qtn_mail::message_body_prompt },
    { "qtn_mail", "message_details", &qtn_mail::message_details },
    { "qtn_mail", "message_not_available_error", &qtn_mail::message_not_available_error },
    { "qtn_mail", "message_processing_error", &qtn_mail::message_processing_error },
    { "qtn_mail", "message_type", &qtn_mail::message_type },
    { "qtn_mail", "missing_folder_error", &qtn_mail::missing_folder_error },
    { "qtn_mail", "move_mails", &qtn_mail::move_mails },
    { "qtn_mail", "moveto", &qtn_mail::moveto },
    { "qtn_mail", "nms_too_large_attachments", &qtn_mail::nms_too_large_attachments },
    { "qtn_mail", "no_account", &qtn_mail::no_account },
    { "qtn_mail", "no_messages", &qtn_mail::no_messages },
    { "qtn_mail", "no_preview", &qtn_mail::no_preview },
    { "qtn_mail", "no_subject_text_query", &qtn_mail::no_subject_text_query },
    { "qtn_mail", "no_subject", &qtn_mail::no_subject },
    { "qtn_mail", "no_recipients", &qtn_mail::no_recipients },
    { "qtn_mail", "notification_new_mails", &qtn_mail::notification_new_mails },
    { "qtn_mail", "online_attachment_desc", &qtn_mail::online_attachment_desc },
    { "qtn_mail", "online_attachment_draft", &qtn_mail::online_attachment_draft },
    { "qtn_mail", "online_attachment_prompt", &qtn_mail::online_attachment_prompt },
    { "qtn_mail", "online_attachment_query", &qtn_mail::online_attachment_query },
    { "qtn_mail", "online_attachment_save", &qtn_mail::online_attachment_save },
    { "qtn_mail", "online_attachment_send_desc", &qtn_mail::online_attachment_send_desc },
    { "qtn_mail", "online_attachment_send_query", &qtn_mail::online_attachment_send_query },
    { "qtn_mail", "online_attachment_send_without", &qtn_mail::online_attachment_send_without },
    { "qtn_mail", "other_mailbox", &qtn_mail::other_mailbox },
    { "qtn_mail", "outbox", &qtn_mail::outbox },
    { "qtn_mail", "port", &qtn_mail::port },
    { "qtn_mail", "preview", &qtn_mail::preview },
    { "qtn_mail", "preview_none", &qtn_mail::preview_none },
    { "qtn_mail", "preview_value", &qtn_mail::preview_value },
    { "qtn_mail", "quoted_header", &qtn_mail::quoted_header },
    { "qtn_mail", "recent_mails", &qtn_mail::recent_mails },
    { "qtn_mail", "recover", &qtn_mail::recover },
    { "qtn_mail", "reply_all", &qtn_mail::reply_all },
    { "qtn_mail", "reply_to", &qtn_mail::reply_to },
    { "qtn_mail", "reply_to_sender", &qtn_mail::reply_to_sender },
    { "qtn_mail", "reply_to_title", &qtn_mail::reply_to_title },
    { "qtn_mail", "resend", &qtn_mail::resend },
    { "qtn_mail", "security_protocol", &qtn_mail::security_protocol },
    { "qtn_mail", "select_messages", &qtn_mail::select_messages },
    { "qtn_mail", "send_anyway", &qtn_mail::send_anyway },
    { "qtn_mail", "send_immediately", &qtn_mail::send_immediately },
    { "qtn_mail", "send_messages", &qtn_mail::send_messages },
    { "qtn_mail", "send_next_sync", &qtn_mail::send_next_sync },
    { "qtn_mail", "send_plain_text_query", &qtn_mail::send_plain_text_query },
    { "qtn_mail", "send_plain_text_warning", &qtn_mail::send_plain_text_warning },
    { "qtn_mail", "sending_messages", &qtn_mail::sending_messages },
    { "qtn_mail", "sent_folder", &qtn_mail::sent_folder },
    { "qtn_mail", "server_connection_timeout", &qtn_mail::server_connection_timeout },
    { "qtn_mail", "server_lock_error", &qtn_mail::server_lock_error },
    { "qtn_mail", "serveraddress", &qtn_mail::serveraddress },
    { "qtn_mail", "settings_2k_messages", &qtn_mail::settings_2k_messages },
    { "qtn_mail", "settings_download_images", &qtn_mail::settings_download_images },
    { "qtn_mail", "settings_download_img_desc", &qtn_mail::settings_download_img_desc },
    { "qtn_mail", "settings_full_messages", &qtn_mail::settings_full_messages },
    { "qtn_mail", "settings_html", &qtn_mail::settings_html },
    { "qtn_mail", "settings_messages_attachm", &qtn_mail::settings_messages_attachm },
    { "qtn_mail", "settings_only_headers", &qtn_mail::settings_only_headers },
    { "qtn_mail", "settings_plain_text", &qtn_mail::settings_plain_text },
    { "qtn_mail", "settings_retrieve", &qtn_mail::settings_retrieve },
    { "qtn_mail", "setting_send_html", &qtn_mail::setting_send_html },
    { "qtn_mail", "settings_show_html", &qtn_mail::settings_show_html },
    { "qtn_mail", "settings_sync_read", &qtn_mail::settings_sync_read },
    { "qtn_mail", "settings_title", &qtn_mail::settings_title },
    { "qtn_mail", "show_recents", &qtn_mail::show_recents },
    { "qtn_mail", "show_favorites", &qtn_mail::show_favorites },
    { "qtn_mail", "signature", &qtn_mail::signature },
    { "qtn_mail", "size", &qtn_mail::size },
    { "qtn_mail", "size_large", &qtn_mail::size_large },
    { "qtn_mail", "size_medium", &qtn_mail::size_medium },
    { "qtn_mail", "size_small", &qtn_mail::size_small },
    { "qtn_mail", "size_very_large", &qtn_mail::size_very_large },
    { "qtn_mail", "smtp_authentication_error", &qtn_mail::smtp_authentication_error },
    { "qtn_mail", "smtp_connection_error", &qtn_mail::smtp_connection_error },
    { "qtn_mail", "smtp_send_failed", &qtn_mail::smtp_send_failed },
    { "qtn_mail", "sort_high_priority", &qtn_mail::sort_high_priority },
    { "qtn_mail", "sort_low_priority", &qtn_mail::sort_low_priority },
    { "qtn_mail", "sort_normal_priority", &qtn_mail::sort_normal_priority },
    { "qtn_mail", "sort_priority", &qtn_mail::sort_priority },
    { "qtn_mail", "sort_read", &qtn_mail::sort_read },
    { "qtn_mail", "sort_sender", &qtn_mail::sort_sender },
    { "qtn_mail", "sort_size", &qtn_mail::sort_size },
    { "qtn_mail", "sort_status", &qtn_mail::sort_status },
    { "qtn_mail", "sort_time", &qtn_mail::sort_time },
    { "qtn_mail", "sort_unread", &qtn_mail::sort_unread },
    { "qtn_mail", "subject", &qtn_mail::subject },
    { "qtn_mail", "subject_missing_title", &qtn_mail::subject_missing_title },
    { "qtn_mail", "subject_prompt", &qtn_mail::subject_prompt },
    { "qtn_mail", "swipe_newest", &qtn_mail::swipe_newest },
    { "qtn_mail", "swipe_oldest", &qtn_mail::swipe_oldest },
    { "qtn_mail", "sync", &qtn_mail::sync },
    { "qtn_mail", "sync_downloading", &qtn_mail::sync_downloading },
    { "qtn_mail", "sync_settings", &qtn_mail::sync_settings },
    { "qtn_mail", "threads", &qtn_mail::threads },
    { "qtn_mail", "threads_description", &qtn_mail::threads_description },
    { "qtn_mail", "time_minute_ago", &qtn_mail::time_minute_ago },
    { "qtn_mail", "time_hour_ago", &qtn_mail::time_hour_ago },
    { "qtn_mail", "to", &qtn_mail::to },
    { "qtn_mail", "too_large_attachment_error", &qtn_mail::too_large_attachment_error },
    { "qtn_mail", "mass_storage_error", &qtn_mail::mass_storage_error },
    { "qtn_mail", "file_not_found_error", &qtn_mail::file_not_found_error },
    { "qtn_mail", "trash_folder", &qtn_mail::trash_folder },
    { "qtn_mail", "truncated_download", &qtn_mail::truncated_download },
    { "qtn_mail", "truncated_downloading", &qtn_mail::truncated_downloading },
    { "qtn_mail", "unknown_size", &qtn_mail::unknown_size },
    { "qtn_mail", "updated", &qtn_mail::updated },
    { "qtn_mail", "viewer_no_connectivity", &qtn_mail::viewer_no_connectivity },
    { "qtn_mail", "view_image", &qtn_mail::view_image },
    { "qtn_mail", "move_mails_text", &qtn_mail::move_mails_text },
    { "qtn_mail", "attachment_desc", &qtn_mail::attachment_desc },
};

// Members whose texts predate the naming rule.
const QHash<QString, QString> &exceptions()
{
    static const QHash<QString, QString> table = {
        { QStringLiteral("qtn_comm::close"), QStringLiteral("qtn_comm_command_close") },
        { QStringLiteral("qtn_mail::no_subject_text_query"), QStringLiteral("qtn_mail_subject_missing_error") },
        { QStringLiteral("qtn_mail::time_hour_ago"), QStringLiteral("qtn_mail_time_hours_ago") },
        { QStringLiteral("qtn_mail::move_mails_text"), QStringLiteral("qtn_mail_move") },
        { QStringLiteral("qtn_mail::attachment_desc"), QStringLiteral("qtn_mail_online_attachment_desc") },
    };
    return table;
}

QString qualifiedName(const Identifier &identifier)
{
    return QLatin1String(identifier.nameSpace) + QLatin1String("::") + QLatin1String(identifier.member);
}

} // namespace

class TestLogicalIds : public QObject
{
    Q_OBJECT

private slots:
    void stringFollowsQualifiedName_data();
    void stringFollowsQualifiedName();
    void tableIsComplete();
    void attachmentDescriptionsShareOneString();
    void stringsAreDistinct();
    void englishCatalogueCoversEveryIdentifier();
};

void TestLogicalIds::stringFollowsQualifiedName_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    for (const Identifier &identifier : identifiers) {
        const QString name = qualifiedName(identifier);
        const QString expected = exceptions().value(
            name, QLatin1String(identifier.nameSpace) + QLatin1Char('_') + QString::fromLatin1(identifier.member).toLower());
        QTest::newRow(qPrintable(name)) << QString::fromLatin1(*identifier.variable) << expected;
    }
}

void TestLogicalIds::stringFollowsQualifiedName()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestLogicalIds::tableIsComplete()
{
    QCOMPARE(int(std::size(identifiers)), 211);
    int perNamespace[5] = {};
    const char *const order[5] = { "qtn_asnc", "qtn_acc", "qtn_comm", "qtn_cont", "qtn_mail" };
    for (const Identifier &identifier : identifiers) {
        for (int i = 0; i < 5; ++i) {
            if (qstrcmp(identifier.nameSpace, order[i]) == 0)
                ++perNamespace[i];
        }
    }
    QCOMPARE(perNamespace[0], 4);
    QCOMPARE(perNamespace[1], 3);
    QCOMPARE(perNamespace[2], 35);
    QCOMPARE(perNamespace[3], 2);
    QCOMPARE(perNamespace[4], 167);
    for (auto it = exceptions().cbegin(); it != exceptions().cend(); ++it) {
        const bool listed = std::any_of(std::begin(identifiers), std::end(identifiers),
                                        [&](const Identifier &identifier) { return qualifiedName(identifier) == it.key(); });
        QVERIFY2(listed, qPrintable(it.key()));
    }
}

void TestLogicalIds::attachmentDescriptionsShareOneString()
{
    QCOMPARE(qstrcmp(qtn_mail::attachment_desc, qtn_mail::online_attachment_desc), 0);
    QCOMPARE(qtn_mail::attachment_desc, qtn_mail::online_attachment_desc);
    QCOMPARE(QByteArray(qtn_comm::Delete), QByteArray("qtn_comm_delete"));
}

void TestLogicalIds::stringsAreDistinct()
{
    // A copy-and-paste slip would make two members share a text and one string untranslatable.
    QSet<QByteArray> seen;
    for (const Identifier &identifier : identifiers) {
        if (*identifier.variable == qtn_mail::attachment_desc && qstrcmp(identifier.member, "attachment_desc") == 0)
            continue;
        const QByteArray text(*identifier.variable);
        QVERIFY2(!seen.contains(text), text.constData());
        seen.insert(text);
    }
    QCOMPARE(seen.size(), 210);
}

void TestLogicalIds::englishCatalogueCoversEveryIdentifier()
{
    QTranslator english;
    QVERIFY(english.load(QStringLiteral("zavek_en"), QStringLiteral(ZAVEK_TRANSLATIONS_DIR)));
    QVERIFY(QCoreApplication::installTranslator(&english));
    for (const Identifier &identifier : identifiers) {
        const QString text = qtTrId(*identifier.variable, -1);
        QVERIFY2(!text.isEmpty() && text != QLatin1String(*identifier.variable), qPrintable(qualifiedName(identifier)));
    }
    QCOMPARE(qtTrId(qtn_comm::bytes, 1), QStringLiteral("1 byte"));
    QCOMPARE(qtTrId(qtn_comm::bytes, 0), QStringLiteral("0 bytes"));
    QCOMPARE(qtTrId(qtn_comm::bytes, 2), QStringLiteral("2 bytes"));
    QCOMPARE(qtTrId(qtn_comm::kilobytes, -1).arg(3), QStringLiteral("3 kB"));
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(qtTrId(qtn_comm::bytes, 1), QStringLiteral("qtn_comm_bytes"));
}

QTEST_GUILESS_MAIN(TestLogicalIds)

#include "tst_logicalids.moc"
