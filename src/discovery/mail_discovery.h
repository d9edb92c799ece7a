#pragma once
// Where a user's mail programs keep their stores: Outlook Express identities, the Windows Mail
// and Windows Live Mail store roots and the Thunderbird mail root, read from one session's
// registry, special folders, environment and Thunderbird's profile files. Nothing here opens a
// mail file or shows a message; everything is read afresh on every call.
//
// Registry values and profile files hold paths of the session (Windows paths for a Windows
// session); they are put together in that style and turned into paths of this machine with
// TUserSession::LocalPath before any file is looked at. Results are paths of this machine.
#include "discovery/user_session.h"

#include <string>
#include <vector>

namespace pellora {

struct TOEIdentity {
  std::string Label;  // "Username", or the identity's ordinal
  std::string Folder; // the folder of its database files, with trailing delimiter
};

// Clears the list, then adds one entry per identity that names a store root; without an
// "Identities" key, one entry per folder below the local application data's "Identities"
// that holds ".dbx" files, labelled by its number.
void ListOEIdentityStores(const TUserSession& session, std::vector<TOEIdentity>& list);
// The Windows Mail "Local Folders" folder without trailing delimiter, or "". A "Store Root" of
// the wrong type raises "Invalid data type for 'Store Root'".
std::string GetWindowsMailStore(const TUserSession& session);
// The folder of the default Windows Live Mail account, or the store root, with trailing
// delimiter; or "". Values of the wrong type raise as in GetWindowsMailStore.
std::string GetWindowsLiveMailStore(const TUserSession& session);
// Outlook's data files: the .pst and .ost files in the local application data's
// "Microsoft\Outlook" and the .pst files in the profile's "Documents\Outlook Files", each
// folder's sorted by name.
std::vector<std::string> ListOutlookDataFiles(const TUserSession& session);
// Clears the list, then adds at most one Thunderbird mail root (with trailing delimiter). A
// preference file that cannot be opened raises the file error.
void ListThunderbirdMailRoots(const TUserSession& session, std::vector<std::string>& list);

// The profile folder in the session's path style, without trailing delimiter.
std::string GetUserProfileFolder(const TUserSession& session);
// A special folder in the session's path style with trailing delimiter; "" when it has none.
std::string GetUserShellFolder(const TUserSession& session, int csidl);
// The textual SID of an account ("S-1-5-21-..."), or "".
std::string GetAccountSidString(const TUserSession& session, const std::string& accountName);
// text with its %NAME% references replaced by the values of the environment block: for each
// entry in block order, its first reference (name compared without ASCII case).
std::string ExpandEnvVars(const std::string& text, const std::vector<std::string>& block);
std::string ExpandEnvVars(const TUserSession& session, const std::string& text);

} // namespace pellora
