#ifndef ZAVEKLOGICALIDS_H
#define ZAVEKLOGICALIDS_H

/**
 * @file
 * Logical identifiers of the mail application's translated texts: the namespaces
 * qtn_mail, qtn_comm, qtn_acc, qtn_asnc and qtn_cont.
 *
 * The user interface shows no literal text: it passes one of these identifiers to
 * `qtTrId(id, -1)` (or with a count, for texts with plural forms) and shows the result;
 * the catalogue that the application loaded with a QTranslator supplies the words. The
 * English catalogue is installed as `share/zavek/translations/zavek_en.qm`. Without a
 * catalogue, qtTrId() returns the identifier itself. Texts with `%1` or `%2` take their
 * values with QString::arg(); `%n` is the count given to qtTrId().
 *
 * Each identifier reads "<namespace>_<member in lower case>" (qtn_mail::inbox_name is
 * "qtn_mail_inbox_name"), with five exceptions whose texts were fixed before the rule:
 * qtn_comm::close, qtn_mail::no_subject_text_query, qtn_mail::time_hour_ago,
 * qtn_mail::move_mails_text and qtn_mail::attachment_desc (which shares the string of
 * qtn_mail::online_attachment_desc). Member names are part of the interface and kept as
 * they are, misspellings included.
 *
 * The brief of each identifier quotes its text in the English catalogue. The variables
 * hold their strings from the moment the library is loaded; they are not const only for
 * compatibility, and must never be assigned.
 */
/// Identifiers of texts about synchronising with the mail server: errors and notices.
namespace qtn_asnc {
/// "System error. Try again later."
extern const char *error_system_error;
/// "Drafts are kept on this device only and are not synchronised with the server."
extern const char *drafts_sync_notice;
/// "Drafts not synchronised"
extern const char *drafts_sync_notice_title;
/// "The user name or password is not correct."
extern const char *error_invalid_credentials;
} // namespace qtn_asnc

/// Identifiers of texts of account setup.
namespace qtn_acc {
/// "Signing in failed. Check the user name and password."
extern const char *auth_failed_infobanner;
/// "Select account"
extern const char *sel_acc_title;
/// "Select e-mail provider"
extern const char *sel_pro_ser_email;
} // namespace qtn_acc

/// Identifiers of texts common to the device's applications: commands, units, times.
namespace qtn_comm {
/// "Mail"
extern const char *appname_mail;
/// "Delete" (capitalised, as delete is a C++ keyword).
extern const char *Delete;
/// "\%n byte", plural "\%n bytes" (by count).
extern const char *bytes;
/// "Cancel"
extern const char *cancel;
/// "Accounts"
extern const char *command_accounts;
/// "Continue"
extern const char *command_continue;
/// "Done"
extern const char *command_done;
/// "Add to favourites"
extern const char *command_favorite;
/// "Mark all"
extern const char *command_mark_all;
/// "No"
extern const char *command_no;
/// "Unmark all"
extern const char *command_unmark_all;
/// "Remove from favourites"
extern const char *command_unmark_favorite;
/// "Yes"
extern const char *command_yes;
/// "Save as"
extern const char *content_save_as;
/// "Close"; identifier "qtn_comm_command_close".
extern const char *close;
/// "Forward"
extern const char *forward;
/// "\%1 GB"
extern const char *gigabytes;
/// "\%1 kB"
extern const char *kilobytes;
/// "\%1 MB"
extern const char *megabytes;
/// "Next"
extern const char *next;
/// "No application available to open this file."
extern const char *no_default_app;
/// "OK"
extern const char *ok;
/// "Reply"
extern const char *reply;
/// "Reply to all"
extern const char *reply_all;
/// "Search"
extern const char *search;
/// "Send"
extern const char *send;
/// "Settings"
extern const char *settings;
/// "Sharing failed."
extern const char *share_unknown_error;
/// "Sort by"
extern const char *sort_by;
/// "\%1 days ago"
extern const char *time_day_ago;
/// "\%1 months ago"
extern const char *time_month_ago;
/// "Today"
extern const char *time_today;
/// "\%1 weeks ago"
extern const char *time_week_ago;
/// "\%1 years ago"
extern const char *time_year_ago;
/// "Yesterday"
extern const char *time_yesterday;
} // namespace qtn_comm

/// Identifiers of texts shared with the contacts application.
namespace qtn_cont {
/// "Remove"
extern const char *remove;
/// "Send contact card"
extern const char *sendcard;
} // namespace qtn_cont

/// Identifiers of the mail application's own texts.
namespace qtn_mail {
/// "Add Cc/Bcc"
extern const char *add_cc_bcc;
/// "Attach files"
extern const char *add_files;
/// "Are you sure?"
extern const char *are_you_sure;
/// "Remove this attachment?"
extern const char *attachment_delete_query;
/// "Attachments"
extern const char *attachments;
/// "Bcc"
extern const char *bcc;
/// "Cannot connect to the server."
extern const char *cannot_connect_server;
/// "The message could not be retrieved."
extern const char *cannot_retrieve_message_error;
/// "The message could not be moved."
extern const char *cannot_move_message_error;
/// "Cc"
extern const char *cc;
/// "Change priority"
extern const char *changepriority;
/// "Checking mailbox"
extern const char *checking_mailbox;
/// "Choose folder"
extern const char *choose_folder;
/// "Connecting to server"
extern const char *connecting_to_server;
/// "All inboxes"
extern const char *combined_inbox;
/// "New message"
extern const char *composer;
/// "Create event"
extern const char *create_event;
/// "Date"
extern const char *date;
/// "Default mailbox"
extern const char *default_mailbox;
/// "Delete all messages in this folder?"
extern const char *delete_all_confirmation;
/// "Delete messages"
extern const char *delete_mails;
/// "Delete conversation"
extern const char *deletethread;
/// "The message could not be restored."
extern const char *restore_failed_error;
/// "Download"
extern const char *download;
/// "Download completed"
extern const char *download_completed;
/// "Save this message as a draft?"
extern const char *draft_query;
/// "Discard"
extern const char *draft_query_close;
/// "Save draft"
extern const char *draft_query_save;
/// "Drafts"
extern const char *drafts_folder;
/// "No messages"
extern const char *empty_state;
/// "Messages you receive appear here."
extern const char *empty_state_desc2;
/// "Set up an account to start using mail."
extern const char *empty_state_start;
/// "Not enough storage space."
extern const char *error_disk_full;
/// "Failed"
extern const char *failed;
/// "Mark folders as favourites to find them quickly."
extern const char *favorite_promotion;
/// "Enter an e-mail address."
extern const char *fill_in_email_infobanner;
/// "Enter a name for the mailbox."
extern const char *fill_in_mailbox_name;
/// "Enter the port number."
extern const char *fill_in_port_infobanner;
/// "Enter the server address."
extern const char *fill_in_server_infobanner;
/// "Folder subscriptions"
extern const char *folder_subscritions;
/// "Choose the folders to keep up to date on this device."
extern const char *folder_subscritions_descr;
/// "Forwarded message"
extern const char *forwarded_message;
/// "From"
extern const char *from;
/// "Something went wrong."
extern const char *generic_error;
/// "Get more messages"
extern const char *get_more_mails;
/// "Headers"
extern const char *headers;
/// "Message ID"
extern const char *id;
/// "Inbox"
extern const char *inbox_folder;
/// "Inbox"
extern const char *inbox_name;
/// "Include signature"
extern const char *include_sign;
/// "The e-mail address is not valid."
extern const char *invalidemailaddress;
/// "Older"
extern const char *list_divider_older;
/// "Mark all as read"
extern const char *mark_all_read;
/// "Mark as done"
extern const char *mark_as_done;
/// "Mark as read"
extern const char *markasread;
/// "Mark as to-do"
extern const char *markastodo;
/// "Mark as unread"
extern const char *markasunread;
/// "Write your message"
extern const char *message_body_prompt;
/// "Message details"
extern const char *message_details;
/// "The message is no longer available."
extern const char *message_not_available_error;
/// "The message could not be processed."
extern const char *message_processing_error;
/// "Message type"
extern const char *message_type;
/// "The folder no longer exists."
extern const char *missing_folder_error;
/// "Move messages"
extern const char *move_mails;
/// "Move to"
extern const char *moveto;
/// "The attachments are too large to send."
extern const char *nms_too_large_attachments;
/// "No account"
extern const char *no_account;
/// "No messages"
extern const char *no_messages;
/// "No preview available"
extern const char *no_preview;
/// "Send the message without a subject?"; identifier "qtn_mail_subject_missing_error".
extern const char *no_subject_text_query;
/// "(No subject)"
extern const char *no_subject;
/// "Add at least one recipient."
extern const char *no_recipients;
/// "\%1 new messages"
extern const char *notification_new_mails;
/// "This attachment is on the server. Download it to open it."
extern const char *online_attachment_desc;
/// "Attachments not yet downloaded are left out of the draft."
extern const char *online_attachment_draft;
/// "Download attachments"
extern const char *online_attachment_prompt;
/// "Download the attachments before forwarding?"
extern const char *online_attachment_query;
/// "Download and save"
extern const char *online_attachment_save;
/// "Some attachments have not been downloaded yet."
extern const char *online_attachment_send_desc;
/// "Download the attachments and send?"
extern const char *online_attachment_send_query;
/// "Send without them"
extern const char *online_attachment_send_without;
/// "Other mailbox"
extern const char *other_mailbox;
/// "Outbox"
extern const char *outbox;
/// "Port"
extern const char *port;
/// "Preview"
extern const char *preview;
/// "None"
extern const char *preview_none;
/// "\%1 lines"
extern const char *preview_value;
/// "On \%1, \%2 wrote:"
extern const char *quoted_header;
/// "Recent messages"
extern const char *recent_mails;
/// "Recover"
extern const char *recover;
/// "Reply to all"
extern const char *reply_all;
/// "Reply to"
extern const char *reply_to;
/// "Reply to sender"
extern const char *reply_to_sender;
/// "Reply"
extern const char *reply_to_title;
/// "Send again"
extern const char *resend;
/// "Security"
extern const char *security_protocol;
/// "Select messages"
extern const char *select_messages;
/// "Send anyway"
extern const char *send_anyway;
/// "Send immediately"
extern const char *send_immediately;
/// "Send messages"
extern const char *send_messages;
/// "Send at next synchronisation"
extern const char *send_next_sync;
/// "Send as plain text?"
extern const char *send_plain_text_query;
/// "Formatting will be lost when the message is sent as plain text."
extern const char *send_plain_text_warning;
/// "Sending messages"
extern const char *sending_messages;
/// "Sent"
extern const char *sent_folder;
/// "The server did not answer in time."
extern const char *server_connection_timeout;
/// "The mailbox is in use by another client."
extern const char *server_lock_error;
/// "Server address"
extern const char *serveraddress;
/// "First 2 kB of messages"
extern const char *settings_2k_messages;
/// "Download images"
extern const char *settings_download_images;
/// "Download images in messages automatically."
extern const char *settings_download_img_desc;
/// "Full messages"
extern const char *settings_full_messages;
/// "HTML"
extern const char *settings_html;
/// "Messages and attachments"
extern const char *settings_messages_attachm;
/// "Headers only"
extern const char *settings_only_headers;
/// "Plain text"
extern const char *settings_plain_text;
/// "Retrieve"
extern const char *settings_retrieve;
/// "Send messages as HTML"
extern const char *setting_send_html;
/// "Show messages as HTML"
extern const char *settings_show_html;
/// "Synchronise read status"
extern const char *settings_sync_read;
/// "Mail settings"
extern const char *settings_title;
/// "Show recent"
extern const char *show_recents;
/// "Show favourites"
extern const char *show_favorites;
/// "Signature"
extern const char *signature;
/// "Size"
extern const char *size;
/// "Large"
extern const char *size_large;
/// "Medium"
extern const char *size_medium;
/// "Small"
extern const char *size_small;
/// "Very large"
extern const char *size_very_large;
/// "The outgoing mail server did not accept the user name or password."
extern const char *smtp_authentication_error;
/// "Cannot connect to the outgoing mail server."
extern const char *smtp_connection_error;
/// "Sending failed."
extern const char *smtp_send_failed;
/// "High priority"
extern const char *sort_high_priority;
/// "Low priority"
extern const char *sort_low_priority;
/// "Normal priority"
extern const char *sort_normal_priority;
/// "Priority"
extern const char *sort_priority;
/// "Read"
extern const char *sort_read;
/// "Sender"
extern const char *sort_sender;
/// "Size"
extern const char *sort_size;
/// "Status"
extern const char *sort_status;
/// "Time"
extern const char *sort_time;
/// "Unread"
extern const char *sort_unread;
/// "Subject"
extern const char *subject;
/// "No subject"
extern const char *subject_missing_title;
/// "Subject"
extern const char *subject_prompt;
/// "Newest"
extern const char *swipe_newest;
/// "Oldest"
extern const char *swipe_oldest;
/// "Synchronise"
extern const char *sync;
/// "Downloading"
extern const char *sync_downloading;
/// "Synchronisation"
extern const char *sync_settings;
/// "Conversations"
extern const char *threads;
/// "Group messages by conversation."
extern const char *threads_description;
/// "\%1 min ago"
extern const char *time_minute_ago;
/// "\%1 h ago"; identifier "qtn_mail_time_hours_ago".
extern const char *time_hour_ago;
/// "To"
extern const char *to;
/// "The attachment is too large."
extern const char *too_large_attachment_error;
/// "Storage is not available while the device is connected by USB."
extern const char *mass_storage_error;
/// "The file was not found."
extern const char *file_not_found_error;
/// "Trash"
extern const char *trash_folder;
/// "Download the rest of the message"
extern const char *truncated_download;
/// "Downloading the rest of the message"
extern const char *truncated_downloading;
/// "Unknown size"
extern const char *unknown_size;
/// "Updated \%1"
extern const char *updated;
/// "No connection. Connect to download the message."
extern const char *viewer_no_connectivity;
/// "View image"
extern const char *view_image;
/// "Move"; identifier "qtn_mail_move".
extern const char *move_mails_text;
/// "This attachment is on the server. Download it to open it."; identifier "qtn_mail_online_attachment_desc".
extern const char *attachment_desc;
} // namespace qtn_mail

#endif // ZAVEKLOGICALIDS_H
