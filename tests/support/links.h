#pragma once

#include <string>

// A symbolic link to a folder, as a test needs one to see that the code does not follow it. Wine
// shows a Unix symbolic link to a folder as a folder with the reparse-point attribute, as Windows
// shows a junction or a folder's symbolic link; its own CreateSymbolicLink makes nothing. The link
// is made and removed with the host's ln and rm, which Wine starts like Windows programs.
//
// What Wine cannot show: a link to a file looks like a plain file, and its DeleteFile and
// RemoveDirectory act on what a link points at rather than on the link itself.
class FolderLink {
public:
    // link must not exist yet; target is an existing folder.
    FolderLink(const std::string& link, const std::string& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;

    // False where no link could be made (not under Wine): the test is then skipped.
    bool Ok() const { return m_bOk; }

private:
    std::string m_strLink;
    std::string m_strUnixLink;
    bool m_bOk = false;
};
