// Mozilla User Preferences
/* a block comment with "user_pref(" inside */
user_pref("mail.root.none", "/home/u/.thunderbird/p.default/Mail");
user_pref("mail.root.none-rel", "[ProfD]Mail");
user_pref("mail.server.server1.directory", "C:\\Users\\u\\AppData\\Roaming\\Thunderbird\\Profiles\\p.default\\Mail\\Local Folders");
user_pref("mail.server.server1.directory-rel", "[ProfD]Mail/Local Folders");
user_pref("mail.server.server1.name", "Local \"Folders\" \u00dc");
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("some.number", -3);
user_pref("some.flag", true);
pref("not.a.user.pref", false);
