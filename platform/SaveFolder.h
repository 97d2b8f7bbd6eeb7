// The save folder: where Fixer keeps what it downloads for the user, the
// all-users documents folder + "\quorvex". Any local user can create that
// folder before Fixer does (say, as a junction into C:\Windows\System32), and
// Fixer writes there as administrator, so it is prepared before every use:
//  - refused when it, or a folder above it, is a reparse point (junction,
//    symbolic link, mount point): nothing is written through a link;
//  - created with its own access list (kSaveFolderSecurity): owner
//    Administrators, SYSTEM and Administrators full control, Users read &
//    execute, inherited by the files in it, nothing inherited from above;
//  - an existing folder (made by someone else, or by an older Fixer under
//    the documents folder's list, which lets users write) is re-secured in
//    place with the same owner and list, through a handle that shares no
//    writing and was checked not to be a reparse point; refused when that
//    handle cannot be had (another process has it open to write) or the list
//    cannot be set. Files already inside keep their own lists.
#pragma once
#include <string>

// The all-users documents folder + "\quorvex" ("C:\quorvex" when that folder
// cannot be resolved); not created here.
std::wstring DefaultSaveFolder();

// Makes folder (a drive path) ready as above; false when it is refused or
// could not be made so, and then nothing may be saved there.
bool PrepareSaveFolder(const std::wstring& folder);

// The save folder's owner and access list, in SDDL.
extern const wchar_t kSaveFolderSecurity[];
