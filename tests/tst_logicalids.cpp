#include <zaveklogicalids.h>

#include <iterator>

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

struct Member
{
    const char *name;
    const char *const *variable;
};

// Every exported identifier variable, by namespace; a member missing from the header fails the build.
namespace asnc {
using namespace qtn_asnc;
const Member members[] = {
    { "error_system_error", &error_system_error }, { "drafts_sync_notice", &drafts_sync_notice },
    { "drafts_sync_notice_title", &drafts_sync_notice_title },
    { "error_invalid_credentials", &error_invalid_credentials },
};
} // namespace asnc

namespace acc {
using namespace qtn_acc;
const Member members[] = {
    { "auth_failed_infobanner", &auth_failed_infobanner }, { "sel_acc_title", &sel_acc_title },
    { "sel_pro_ser_email", &sel_pro_ser_email },
};
} // namespace acc

namespace comm {
using namespace qtn_comm;
const Member members[] = {
    { "appname_mail", &appname_mail }, { "Delete", &Delete }, { "bytes", &bytes }, { "cancel", &cancel },
    { "command_accounts", &command_accounts }, { "command_continue", &command_continue },
    { "command_done", &command_done }, { "command_favorite", &command_favorite },
    { "command_mark_all", &command_mark_all }, { "command_no", &command_no },
    { "command_unmark_all", &command_unmark_all }, { "command_unmark_favorite", &command_unmark_favorite },
    { "command_yes", &command_yes }, { "content_save_as", &content_save_as }, { "close", &qtn_comm::close },
    { "forward", &forward }, { "gigabytes", &gigabytes }, { "kilobytes", &kilobytes },
    { "megabytes", &megabytes }, { "next", &next }, { "no_default_app", &no_default_app }, { "ok", &ok },
    { "reply", &reply }, { "reply_all", &reply_all }, { "search", &search }, { "send", &qtn_comm::send },
    { "settings", &settings }, { "share_unknown_error", &share_unknown_error }, { "sort_by", &sort_by },
    { "time_day_ago", &time_day_ago }, { "time_month_ago", &time_month_ago }, { "time_today", &time_today },
    { "time_week_ago", &time_week_ago }, { "time_year_ago", &time_year_ago },
    { "time_yesterday", &time_yesterday },
};
} // namespace comm

namespace cont {
using namespace qtn_cont;
const Member members[] = {
    { "remove", &qtn_cont::remove }, { "sendcard", &sendcard },
};
} // namespace cont

namespace mail {
using namespace qtn_mail;
const Member members[] = {
    { "add_cc_bcc", &add_cc_bcc }, { "add_files", &add_files }, { "are_you_sure", &are_you_sure },
    { "attachment_delete_query", &attachment_delete_query }, { "attachments", &attachments }, { "bcc", &bcc },
    { "cannot_connect_server", &cannot_connect_server },
    { "cannot_retrieve_message_error", &cannot_retrieve_message_error },
    { "cannot_move_message_error", &cannot_move_message_error }, { "cc", &cc },
    { "changepriority", &changepriority }, { "checking_mailbox", &checking_mailbox },
    { "choose_folder", &choose_folder }, { "connecting_to_server", &connecting_to_server },
    { "combined_inbox", &combined_inbox }, { "composer", &composer }, { "create_event", &create_event },
    { "date", &date }, { "default_mailbox", &default_mailbox },
    { "delete_all_confirmation", &delete_all_confirmation }, { "delete_mails", &delete_mails },
    { "deletethread", &deletethread }, { "restore_failed_error", &restore_failed_error },
    { "download", &download }, { "download_completed", &download_completed }, { "draft_query", &draft_query },
    { "draft_query_close", &draft_query_close }, { "draft_query_save", &draft_query_save },
    { "drafts_folder", &drafts_folder }, { "empty_state", &empty_state },
    { "empty_state_desc2", &empty_state_desc2 }, { "empty_state_start", &empty_state_start },
    { "error_disk_full", &error_disk_full }, { "failed", &failed },
    { "favorite_promotion", &favorite_promotion }, { "fill_in_email_infobanner", &fill_in_email_infobanner },
    { "fill_in_mailbox_name", &fill_in_mailbox_name }, { "fill_in_port_infobanner", &fill_in_port_infobanner },
    { "fill_in_server_infobanner", &fill_in_server_infobanner },
    { "folder_subscritions", &folder_subscritions },
    { "folder_subscritions_descr", &folder_subscritions_descr }, { "forwarded_message", &forwarded_message },
    { "from", &from }, { "generic_error", &generic_error }, { "get_more_mails", &get_more_mails },
    { "headers", &headers }, { "id", &id }, { "inbox_folder", &inbox_folder }, { "inbox_name", &inbox_name },
    { "include_sign", &include_sign }, { "invalidemailaddress", &invalidemailaddress },
    { "list_divider_older", &list_divider_older }, { "mark_all_read", &mark_all_read },
    { "mark_as_done", &mark_as_done }, { "markasread", &markasread }, { "markastodo", &markastodo },
    { "markasunread", &markasunread }, { "message_body_prompt", &message_body_prompt },
    { "message_details", &message_details }, { "message_not_available_error", &message_not_available_error },
    { "message_processing_error", &message_processing_error }, { "message_type", &message_type },
    { "missing_folder_error", &missing_folder_error }, { "move_mails", &move_mails }, { "moveto", &moveto },
    { "nms_too_large_attachments", &nms_too_large_attachments }, { "no_account", &no_account },
    { "no_messages", &no_messages }, { "no_preview", &no_preview },
    { "no_subject_text_query", &no_subject_text_query }, { "no_subject", &no_subject },
    { "no_recipients", &no_recipients }, { "notification_new_mails", &notification_new_mails },
    { "online_attachment_desc", &online_attachment_desc },
    { "online_attachment_draft", &online_attachment_draft },
    { "online_attachment_prompt", &online_attachment_prompt },
    { "online_attachment_query", &online_attachment_query },
    { "online_attachment_save", &online_attachment_save },
    { "online_attachment_send_desc", &online_attachment_send_desc },
    { "online_attachment_send_query", &online_attachment_send_query },
    { "online_attachment_send_without", &online_attachment_send_without }, { "other_mailbox", &other_mailbox },
    { "outbox", &outbox }, { "port", &port }, { "preview", &preview }, { "preview_none", &preview_none },
    { "preview_value", &preview_value }, { "quoted_header", &quoted_header },
    { "recent_mails", &recent_mails }, { "recover", &recover }, { "reply_all", &reply_all },
    { "reply_to", &reply_to }, { "reply_to_sender", &reply_to_sender }, { "reply_to_title", &reply_to_title },
    { "resend", &resend }, { "security_protocol", &security_protocol },
    { "select_messages", &select_messages }, { "send_anyway", &send_anyway },
    { "send_immediately", &send_immediately }, { "send_messages", &send_messages },
    { "send_next_sync", &send_next_sync }, { "send_plain_text_query", &send_plain_text_query },
    { "send_plain_text_warning", &send_plain_text_warning }, { "sending_messages", &sending_messages },
    { "sent_folder", &sent_folder }, { "server_connection_timeout", &server_connection_timeout },
    { "server_lock_error", &server_lock_error }, { "serveraddress", &serveraddress },
    { "settings_2k_messages", &settings_2k_messages },
    { "settings_download_images", &settings_download_images },
    { "settings_download_img_desc", &settings_download_img_desc },
    { "settings_full_messages", &settings_full_messages }, { "settings_html", &settings_html },
    { "settings_messages_attachm", &settings_messages_attachm },
    { "settings_only_headers", &settings_only_headers }, { "settings_plain_text", &settings_plain_text },
    { "settings_retrieve", &settings_retrieve }, { "setting_send_html", &setting_send_html },
    { "settings_show_html", &settings_show_html }, { "settings_sync_read", &settings_sync_read },
    { "settings_title", &settings_title }, { "show_recents", &show_recents },
    { "show_favorites", &show_favorites }, { "signature", &qtn_mail::signature }, { "size", &qtn_mail::size },
    { "size_large", &size_large }, { "size_medium", &size_medium }, { "size_small", &size_small },
    { "size_very_large", &size_very_large }, { "smtp_authentication_error", &smtp_authentication_error },
    { "smtp_connection_error", &smtp_connection_error }, { "smtp_send_failed", &smtp_send_failed },
    { "sort_high_priority", &sort_high_priority }, { "sort_low_priority", &sort_low_priority },
    { "sort_normal_priority", &sort_normal_priority }, { "sort_priority", &sort_priority },
    { "sort_read", &sort_read }, { "sort_sender", &sort_sender }, { "sort_size", &sort_size },
    { "sort_status", &sort_status }, { "sort_time", &sort_time }, { "sort_unread", &sort_unread },
    { "subject", &subject }, { "subject_missing_title", &subject_missing_title },
    { "subject_prompt", &subject_prompt }, { "swipe_newest", &swipe_newest },
    { "swipe_oldest", &swipe_oldest }, { "sync", &qtn_mail::sync }, { "sync_downloading", &sync_downloading },
    { "sync_settings", &sync_settings }, { "threads", &threads },
    { "threads_description", &threads_description }, { "time_minute_ago", &time_minute_ago },
    { "time_hour_ago", &time_hour_ago }, { "to", &to },
    { "too_large_attachment_error", &too_large_attachment_error },
    { "mass_storage_error", &mass_storage_error }, { "file_not_found_error", &file_not_found_error },
    { "trash_folder", &trash_folder }, { "truncated_download", &truncated_download },
    { "truncated_downloading", &truncated_downloading }, { "unknown_size", &unknown_size },
    { "updated", &updated }, { "viewer_no_connectivity", &viewer_no_connectivity },
    { "view_image", &view_image }, { "move_mails_text", &move_mails_text },
    { "attachment_desc", &attachment_desc },
};
} // namespace mail

struct Identifier
{
    QString qualifiedName;
    QString expected;
    const char *text;
};

// Members whose texts predate the naming rule.
const QHash<QString, QString> exceptions = {
    { QStringLiteral("qtn_comm::close"), QStringLiteral("qtn_comm_command_close") },
    { QStringLiteral("qtn_mail::no_subject_text_query"), QStringLiteral("qtn_mail_subject_missing_error") },
    { QStringLiteral("qtn_mail::time_hour_ago"), QStringLiteral("qtn_mail_time_hours_ago") },
    { QStringLiteral("qtn_mail::move_mails_text"), QStringLiteral("qtn_mail_move") },
    { QStringLiteral("qtn_mail::attachment_desc"), QStringLiteral("qtn_mail_online_attachment_desc") },
};

template<std::size_t N>
void collect(QVector<Identifier> &all, const char *nameSpace, const Member (&members)[N])
{
    for (const Member &member : members) {
        const QString name = QLatin1String(nameSpace) + QLatin1String("::") + QLatin1String(member.name);
        const QString rule = QLatin1String(nameSpace) + QLatin1Char('_') + QString::fromLatin1(member.name).toLower();
        all.append({ name, exceptions.value(name, rule), *member.variable });
    }
}

QVector<Identifier> identifiers()
{
    QVector<Identifier> all;
    collect(all, "qtn_asnc", asnc::members);
    collect(all, "qtn_acc", acc::members);
    collect(all, "qtn_comm", comm::members);
    collect(all, "qtn_cont", cont::members);
    collect(all, "qtn_mail", mail::members);
    return all;
}

} // namespace

class TestLogicalIds : public QObject
{
    Q_OBJECT

private slots:
    void stringFollowsQualifiedName_data();
    void stringFollowsQualifiedName();
    void stringsAreDistinct();
    void englishCatalogueCoversEveryIdentifier();
};

void TestLogicalIds::stringFollowsQualifiedName_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const QVector<Identifier> all = identifiers();
    QCOMPARE(all.size(), 211);
    for (const Identifier &identifier : all)
        QTest::newRow(qPrintable(identifier.qualifiedName)) << QString::fromLatin1(identifier.text) << identifier.expected;
}

void TestLogicalIds::stringFollowsQualifiedName()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestLogicalIds::stringsAreDistinct()
{
    // attachment_desc shares its text by design (checked by the naming rows); a copy-and-paste slip would make two members share a text and one string untranslatable.
    QSet<QByteArray> seen;
    for (const Identifier &identifier : identifiers()) {
        if (identifier.qualifiedName == QLatin1String("qtn_mail::attachment_desc"))
            continue;
        QVERIFY2(!seen.contains(identifier.text), identifier.text);
        seen.insert(identifier.text);
    }
}

void TestLogicalIds::englishCatalogueCoversEveryIdentifier()
{
    QTranslator english;
    QVERIFY(english.load(QStringLiteral("zavek_en"), QStringLiteral(ZAVEK_TRANSLATIONS_DIR)));
    QVERIFY(QCoreApplication::installTranslator(&english));
    for (const Identifier &identifier : identifiers()) {
        const QString text = qtTrId(identifier.text, -1);
        QVERIFY2(!text.isEmpty() && text != QLatin1String(identifier.text), qPrintable(identifier.qualifiedName));
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
