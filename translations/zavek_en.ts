<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB">
<!-- English texts of the logical identifiers. Keyed by identifier under the empty context,
     which is where qtTrId looks them up. -->
<context>
    <name></name>
    <message>
        <source>qtn_asnc_error_system_error</source>
        <translation>System error. Try again later.</translation>
    </message>
    <message>
        <source>qtn_asnc_drafts_sync_notice</source>
        <translation>Drafts are kept on this device only and are not synchronised with the server.</translation>
    </message>
    <message>
        <source>qtn_asnc_drafts_sync_notice_title</source>
        <translation>Drafts not synchronised</translation>
    </message>
    <message>
        <source>qtn_asnc_error_invalid_credentials</source>
        <translation>The user name or password is not correct.</translation>
    </message>
    <message>
        <source>qtn_acc_auth_failed_infobanner</source>
        <translation>Signing in failed. Check the user name and password.</translation>
    </message>
    <message>
        <source>qtn_acc_sel_acc_title</source>
        <translation>Select account</translation>
    </message>
    <message>
        <source>qtn_acc_sel_pro_ser_email</source>
        <translation>Select e-mail provider</translation>
    </message>
    <message>
        <source>qtn_comm_appname_mail</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>qtn_comm_delete</source>
        <translation>Delete</translation>
    </message>
    <message numerus="yes">
        <source>qtn_comm_bytes</source>
        <translation>
            <numerusform>%n byte</numerusform>
            <numerusform>%n bytes</numerusform>
        </translation>
    </message>
    <message>
        <source>qtn_comm_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>qtn_comm_command_accounts</source>
        <translation>Accounts</translation>
    </message>
    <message>
        <source>qtn_comm_command_continue</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>qtn_comm_command_done</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>qtn_comm_command_favorite</source>
        <translation>Add to favourites</translation>
    </message>
    <message>
        <source>qtn_comm_command_mark_all</source>
        <translation>Mark all</translation>
    </message>
    <message>
        <source>qtn_comm_command_no</source>
        <translation>No</translation>
    </message>
    <message>
        <source>qtn_comm_command_unmark_all</source>
        <translation>Unmark all</translation>
    </message>
    <message>
        <source>qtn_comm_command_unmark_favorite</source>
        <translation>Remove from favourites</translation>
    </message>
    <message>
        <source>qtn_comm_command_yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>qtn_comm_content_save_as</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>qtn_comm_command_close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>qtn_comm_forward</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>qtn_comm_gigabytes</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>qtn_comm_kilobytes</source>
        <translation>%1 kB</translation>
    </message>
    <message>
        <source>qtn_comm_megabytes</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>qtn_comm_next</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>qtn_comm_no_default_app</source>
        <translation>No application available to open this file.</translation>
    </message>
    <message>
        <source>qtn_comm_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>qtn_comm_reply</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>qtn_comm_reply_all</source>
        <translation>Reply to all</translation>
    </message>
    <message>
        <source>qtn_comm_search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>qtn_comm_send</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>qtn_comm_settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>qtn_comm_share_unknown_error</source>
        <translation>Sharing failed.</translation>
    </message>
    <message>
        <source>qtn_comm_sort_by</source>
        <translation>Sort by</translation>
    </message>
    <message>
        <source>qtn_comm_time_day_ago</source>
        <translation>%1 days ago</translation>
    </message>
    <message>
        <source>qtn_comm_time_month_ago</source>
        <translation>%1 months ago</translation>
    </message>
    <message>
        <source>qtn_comm_time_today</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>qtn_comm_time_week_ago</source>
        <translation>%1 weeks ago</translation>
    </message>
    <message>
        <source>qtn_comm_time_year_ago</source>
        <translation>%1 years ago</translation>
    </message>
    <message>
        <source>qtn_comm_time_yesterday</source>
        <translation>Yesterday</translation>
    </message>
    <message>
        <source>qtn_cont_remove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>qtn_cont_sendcard</source>
        <translation>Send contact card</translation>
    </message>
    <message>
        <source>qtn_mail_add_cc_bcc</source>
        <translation>Add Cc/Bcc</translation>
    </message>
    <message>
        <source>qtn_mail_add_files</source>
        <translation>Attach files</translation>
    </message>
    <message>
        <source>qtn_mail_are_you_sure</source>
        <translation>Are you sure?</translation>
    </message>
    <message>
        <source>qtn_mail_attachment_delete_query</source>
        <translation>Remove this attachment?</translation>
    </message>
    <message>
        <source>qtn_mail_attachments</source>
        <translation>Attachments</translation>
    </message>
    <message>
        <source>qtn_mail_bcc</source>
        <translation>Bcc</translation>
    </message>
    <message>
        <source>qtn_mail_cannot_connect_server</source>
        <translation>Cannot connect to the server.</translation>
    </message>
    <message>
        <source>qtn_mail_cannot_retrieve_message_error</source>
        <translation>The message could not be retrieved.</translation>
    </message>
    <message>
        <source>qtn_mail_cannot_move_message_error</source>
        <translation>The message could not be moved.</translation>
    </message>
    <message>
        <source>qtn_mail_cc</source>
        <translation>Cc</translation>
    </message>
    <message>
        <source>qtn_mail_changepriority</source>
        <translation>Change priority</translation>
    </message>
    <message>
        <source>qtn_mail_checking_mailbox</source>
        <translation>Checking mailbox</translation>
    </message>
    <message>
        <source>qtn_mail_choose_folder</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>qtn_mail_connecting_to_server</source>
        <translation>Connecting to server</translation>
    </message>
    <message>
        <source>qtn_mail_combined_inbox</source>
        <translation>All inboxes</translation>
    </message>
    <message>
        <source>qtn_mail_composer</source>
        <translation>New message</translation>
    </message>
    <message>
        <source>qtn_mail_create_event</source>
        <translation>Create event</translation>
    </message>
    <message>
        <source>qtn_mail_date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>qtn_mail_default_mailbox</source>
        <translation>Default mailbox</translation>
    </message>
    <message>
        <source>qtn_mail_delete_all_confirmation</source>
        <translation>Delete all messages in this folder?</translation>
    </message>
    <message>
        <source>qtn_mail_delete_mails</source>
        <translation>Delete messages</translation>
    </message>
    <message>
        <source>qtn_mail_deletethread</source>
        <translation>Delete conversation</translation>
    </message>
    <message>
        <source>qtn_mail_restore_failed_error</source>
        <translation>The message could not be restored.</translation>
    </message>
    <message>
        <source>qtn_mail_download</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>qtn_mail_download_completed</source>
        <translation>Download completed</translation>
    </message>
    <message>
        <source>qtn_mail_draft_query</source>
        <translation>Save this message as a draft?</translation>
    </message>
    <message>
        <source>qtn_mail_draft_query_close</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>qtn_mail_draft_query_save</source>
        <translation>Save draft</translation>
    </message>
    <message>
        <source>qtn_mail_drafts_folder</source>
        <translation>Drafts</translation>
    </message>
    <message>
        <source>qtn_mail_empty_state</source>
        <translation>No messages</translation>
    </message>
    <message>
        <source>qtn_mail_empty_state_desc2</source>
        <translation>Messages you receive appear here.</translation>
    </message>
    <message>
        <source>qtn_mail_empty_state_start</source>
        <translation>Set up an account to start using mail.</translation>
    </message>
    <message>
        <source>qtn_mail_error_disk_full</source>
        <translation>Not enough storage space.</translation>
    </message>
    <message>
        <source>qtn_mail_failed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>qtn_mail_favorite_promotion</source>
        <translation>Mark folders as favourites to find them quickly.</translation>
    </message>
    <message>
        <source>qtn_mail_fill_in_email_infobanner</source>
        <translation>Enter an e-mail address.</translation>
    </message>
    <message>
        <source>qtn_mail_fill_in_mailbox_name</source>
        <translation>Enter a name for the mailbox.</translation>
    </message>
    <message>
        <source>qtn_mail_fill_in_port_infobanner</source>
        <translation>Enter the port number.</translation>
    </message>
    <message>
        <source>qtn_mail_fill_in_server_infobanner</source>
        <translation>Enter the server address.</translation>
    </message>
    <message>
        <source>qtn_mail_folder_subscritions</source>
        <translation>Folder subscriptions</translation>
    </message>
    <message>
        <source>qtn_mail_folder_subscritions_descr</source>
        <translation>Choose the folders to keep up to date on this device.</translation>
    </message>
    <message>
        <source>qtn_mail_forwarded_message</source>
        <translation>Forwarded message</translation>
    </message>
    <message>
        <source>qtn_mail_from</source>
        <translation>From</translation>
    </message>
    <message>
        <source>qtn_mail_generic_error</source>
        <translation>Something went wrong.</translation>
    </message>
    <message>
        <source>qtn_mail_get_more_mails</source>
        <translation>Get more messages</translation>
    </message>
    <message>
        <source>qtn_mail_headers</source>
        <translation>Headers</translation>
    </message>
    <message>
        <source>qtn_mail_id</source>
        <translation>Message ID</translation>
    </message>
    <message>
        <source>qtn_mail_inbox_folder</source>
        <translation>Inbox</translation>
    </message>
    <message>
        <source>qtn_mail_inbox_name</source>
        <translation>Inbox</translation>
    </message>
    <message>
        <source>qtn_mail_include_sign</source>
        <translation>Include signature</translation>
    </message>
    <message>
        <source>qtn_mail_invalidemailaddress</source>
        <translation>The e-mail address is not valid.</translation>
    </message>
    <message>
        <source>qtn_mail_list_divider_older</source>
        <translation>Older</translation>
    </message>
    <message>
        <source>qtn_mail_mark_all_read</source>
        <translation>Mark all as read</translation>
    </message>
    <message>
        <source>qtn_mail_mark_as_done</source>
        <translation>Mark as done</translation>
    </message>
    <message>
        <source>qtn_mail_markasread</source>
        <translation>Mark as read</translation>
    </message>
    <message>
        <source>qtn_mail_markastodo</source>
        <translation>Mark as to-do</translation>
    </message>
    <message>
        <source>qtn_mail_markasunread</source>
        <translation>Mark as unread</translation>
    </message>
    <message>
        <source>qtn_mail_message_body_prompt</source>
        <translation>Write your message</translation>
    </message>
    <message>
        <source>qtn_mail_message_details</source>
        <translation>Message details</translation>
    </message>
    <message>
        <source>qtn_mail_message_not_available_error</source>
        <translation>The message is no longer available.</translation>
    </message>
    <message>
        <source>qtn_mail_message_processing_error</source>
        <translation>The message could not be processed.</translation>
    </message>
    <message>
        <source>qtn_mail_message_type</source>
        <translation>Message type</translation>
    </message>
    <message>
        <source>qtn_mail_missing_folder_error</source>
        <translation>The folder no longer exists.</translation>
    </message>
    <message>
        <source>qtn_mail_move_mails</source>
        <translation>Move messages</translation>
    </message>
    <message>
        <source>qtn_mail_moveto</source>
        <translation>Move to</translation>
    </message>
    <message>
        <source>qtn_mail_nms_too_large_attachments</source>
        <translation>The attachments are too large to send.</translation>
    </message>
    <message>
        <source>qtn_mail_no_account</source>
        <translation>No account</translation>
    </message>
    <message>
        <source>qtn_mail_no_messages</source>
        <translation>No messages</translation>
    </message>
    <message>
        <source>qtn_mail_no_preview</source>
        <translation>No preview available</translation>
    </message>
    <message>
        <source>qtn_mail_subject_missing_error</source>
        <translation>Send the message without a subject?</translation>
    </message>
    <message>
        <source>qtn_mail_no_subject</source>
        <translation>(No subject)</translation>
    </message>
    <message>
        <source>qtn_mail_no_recipients</source>
        <translation>Add at least one recipient.</translation>
    </message>
    <message>
        <source>qtn_mail_notification_new_mails</source>
        <translation>%1 new messages</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_desc</source>
        <translation>This attachment is on the server. Download it to open it.</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_draft</source>
        <translation>Attachments not yet downloaded are left out of the draft.</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_prompt</source>
        <translation>Download attachments</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_query</source>
        <translation>Download the attachments before forwarding?</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_save</source>
        <translation>Download and save</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_send_desc</source>
        <translation>Some attachments have not been downloaded yet.</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_send_query</source>
        <translation>Download the attachments and send?</translation>
    </message>
    <message>
        <source>qtn_mail_online_attachment_send_without</source>
        <translation>Send without them</translation>
    </message>
    <message>
        <source>qtn_mail_other_mailbox</source>
        <translation>Other mailbox</translation>
    </message>
    <message>
        <source>qtn_mail_outbox</source>
        <translation>Outbox</translation>
    </message>
    <message>
        <source>qtn_mail_port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>qtn_mail_preview</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>qtn_mail_preview_none</source>
        <translation>None</translation>
    </message>
    <message>
        <source>qtn_mail_preview_value</source>
        <translation>%1 lines</translation>
    </message>
    <message>
        <source>qtn_mail_quoted_header</source>
        <translation>On %1, %2 wrote:</translation>
    </message>
    <message>
        <source>qtn_mail_recent_mails</source>
        <translation>Recent messages</translation>
    </message>
    <message>
        <source>qtn_mail_recover</source>
        <translation>Recover</translation>
    </message>
    <message>
        <source>qtn_mail_reply_all</source>
        <translation>Reply to all</translation>
    </message>
    <message>
        <source>qtn_mail_reply_to</source>
        <translation>Reply to</translation>
    </message>
    <message>
        <source>qtn_mail_reply_to_sender</source>
        <translation>Reply to sender</translation>
    </message>
    <message>
        <source>qtn_mail_reply_to_title</source>
        <translation>Reply</translation>
    </message>
    <message>
        <source>qtn_mail_resend</source>
        <translation>Send again</translation>
    </message>
    <message>
        <source>qtn_mail_security_protocol</source>
        <translation>Security</translation>
    </message>
    <message>
        <source>qtn_mail_select_messages</source>
        <translation>Select messages</translation>
    </message>
    <message>
        <source>qtn_mail_send_anyway</source>
        <translation>Send anyway</translation>
    </message>
    <message>
        <source>qtn_mail_send_immediately</source>
        <translation>Send immediately</translation>
    </message>
    <message>
        <source>qtn_mail_send_messages</source>
        <translation>Send messages</translation>
    </message>
    <message>
        <source>qtn_mail_send_next_sync</source>
        <translation>Send at next synchronisation</translation>
    </message>
    <message>
        <source>qtn_mail_send_plain_text_query</source>
        <translation>Send as plain text?</translation>
    </message>
    <message>
        <source>qtn_mail_send_plain_text_warning</source>
        <translation>Formatting will be lost when the message is sent as plain text.</translation>
    </message>
    <message>
        <source>qtn_mail_sending_messages</source>
        <translation>Sending messages</translation>
    </message>
    <message>
        <source>qtn_mail_sent_folder</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>qtn_mail_server_connection_timeout</source>
        <translation>The server did not answer in time.</translation>
    </message>
    <message>
        <source>qtn_mail_server_lock_error</source>
        <translation>The mailbox is in use by another client.</translation>
    </message>
    <message>
        <source>qtn_mail_serveraddress</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>qtn_mail_settings_2k_messages</source>
        <translation>First 2 kB of messages</translation>
    </message>
    <message>
        <source>qtn_mail_settings_download_images</source>
        <translation>Download images</translation>
    </message>
    <message>
        <source>qtn_mail_settings_download_img_desc</source>
        <translation>Download images in messages automatically.</translation>
    </message>
    <message>
        <source>qtn_mail_settings_full_messages</source>
        <translation>Full messages</translation>
    </message>
    <message>
        <source>qtn_mail_settings_html</source>
        <translation>HTML</translation>
    </message>
    <message>
        <source>qtn_mail_settings_messages_attachm</source>
        <translation>Messages and attachments</translation>
    </message>
    <message>
        <source>qtn_mail_settings_only_headers</source>
        <translation>Headers only</translation>
    </message>
    <message>
        <source>qtn_mail_settings_plain_text</source>
        <translation>Plain text</translation>
    </message>
    <message>
        <source>qtn_mail_settings_retrieve</source>
        <translation>Retrieve</translation>
    </message>
    <message>
        <source>qtn_mail_setting_send_html</source>
        <translation>Send messages as HTML</translation>
    </message>
    <message>
        <source>qtn_mail_settings_show_html</source>
        <translation>Show messages as HTML</translation>
    </message>
    <message>
        <source>qtn_mail_settings_sync_read</source>
        <translation>Synchronise read status</translation>
    </message>
    <message>
        <source>qtn_mail_settings_title</source>
        <translation>Mail settings</translation>
    </message>
    <message>
        <source>qtn_mail_show_recents</source>
        <translation>Show recent</translation>
    </message>
    <message>
        <source>qtn_mail_show_favorites</source>
        <translation>Show favourites</translation>
    </message>
    <message>
        <source>qtn_mail_signature</source>
        <translation>Signature</translation>
    </message>
    <message>
        <source>qtn_mail_size</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>qtn_mail_size_large</source>
        <translation>Large</translation>
    </message>
    <message>
        <source>qtn_mail_size_medium</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>qtn_mail_size_small</source>
        <translation>Small</translation>
    </message>
    <message>
        <source>qtn_mail_size_very_large</source>
        <translation>Very large</translation>
    </message>
    <message>
        <source>qtn_mail_smtp_authentication_error</source>
        <translation>The outgoing mail server did not accept the user name or password.</translation>
    </message>
    <message>
        <source>qtn_mail_smtp_connection_error</source>
        <translation>Cannot connect to the outgoing mail server.</translation>
    </message>
    <message>
        <source>qtn_mail_smtp_send_failed</source>
        <translation>Sending failed.</translation>
    </message>
    <message>
        <source>qtn_mail_sort_high_priority</source>
        <translation>High priority</translation>
    </message>
    <message>
        <source>qtn_mail_sort_low_priority</source>
        <translation>Low priority</translation>
    </message>
    <message>
        <source>qtn_mail_sort_normal_priority</source>
        <translation>Normal priority</translation>
    </message>
    <message>
        <source>qtn_mail_sort_priority</source>
        <translation>Priority</translation>
    </message>
    <message>
        <source>qtn_mail_sort_read</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>qtn_mail_sort_sender</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>qtn_mail_sort_size</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>qtn_mail_sort_status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>qtn_mail_sort_time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>qtn_mail_sort_unread</source>
        <translation>Unread</translation>
    </message>
    <message>
        <source>qtn_mail_subject</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>qtn_mail_subject_missing_title</source>
        <translation>No subject</translation>
    </message>
    <message>
        <source>qtn_mail_subject_prompt</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>qtn_mail_swipe_newest</source>
        <translation>Newest</translation>
    </message>
    <message>
        <source>qtn_mail_swipe_oldest</source>
        <translation>Oldest</translation>
    </message>
    <message>
        <source>qtn_mail_sync</source>
        <translation>Synchronise</translation>
    </message>
    <message>
        <source>qtn_mail_sync_downloading</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>qtn_mail_sync_settings</source>
        <translation>Synchronisation</translation>
    </message>
    <message>
        <source>qtn_mail_threads</source>
        <translation>Conversations</translation>
    </message>
    <message>
        <source>qtn_mail_threads_description</source>
        <translation>Group messages by conversation.</translation>
    </message>
    <message>
        <source>qtn_mail_time_minute_ago</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>qtn_mail_time_hours_ago</source>
        <translation>%1 h ago</translation>
    </message>
    <message>
        <source>qtn_mail_to</source>
        <translation>To</translation>
    </message>
    <message>
        <source>qtn_mail_too_large_attachment_error</source>
        <translation>The attachment is too large.</translation>
    </message>
    <message>
        <source>qtn_mail_mass_storage_error</source>
        <translation>Storage is not available while the device is connected by USB.</translation>
    </message>
    <message>
        <source>qtn_mail_file_not_found_error</source>
        <translation>The file was not found.</translation>
    </message>
    <message>
        <source>qtn_mail_trash_folder</source>
        <translation>Trash</translation>
    </message>
    <message>
        <source>qtn_mail_truncated_download</source>
        <translation>Download the rest of the message</translation>
    </message>
    <message>
        <source>qtn_mail_truncated_downloading</source>
        <translation>Downloading the rest of the message</translation>
    </message>
    <message>
        <source>qtn_mail_unknown_size</source>
        <translation>Unknown size</translation>
    </message>
    <message>
        <source>qtn_mail_updated</source>
        <translation>Updated %1</translation>
    </message>
    <message>
        <source>qtn_mail_viewer_no_connectivity</source>
        <translation>No connection. Connect to download the message.</translation>
    </message>
    <message>
        <source>qtn_mail_view_image</source>
        <translation>View image</translation>
    </message>
    <message>
        <source>qtn_mail_move</source>
        <translation>Move</translation>
    </message>
</context>
</TS>
