#pragma once

#include <QString>

// The text rules of the FTP session and of server navigation: proxy text, start folder, error
// messages, the targets a folder change tries and the keys of the server tree. Pure functions.
namespace SessionRules {

// The proxy text of the proxy settings: "ftp=ftp://" + host, followed by ":" + port when the
// trimmed port is not empty.
QString proxyText(const QString& proxyHost, const QString& proxyPort);

// The folder the FTP pane goes to after a connect, from the path box text (the server's current
// folder, the host name for the root) and the profile's server start folder (not empty after
// trimming): "/" stays "/"; a start folder that begins with "/" is appended as it is, any other
// after one "/". Every doubled "/" is then made single. "/home/u" and "pub" give "/home/u/pub";
// "/pub/" gives "/home/u/pub/".
QString startFolderPath(const QString& txtDir, const QString& startFolder);

// The message of a failed engine call with a code of 12000 and above: for 12003 (the server
// answered with an error) "WinInet エラー -12003", CR LF, the server's last response and four
// blanks; otherwise "WinInet Error -" + code, CR LF, the engine's message for the code and four
// blanks.
QString winInetErrorText(int code, const QString& lastResponse);

// A Japanese text for a code below 12000: the engine's message when it has one, else the system
// error (errno) in Japanese, else "システムエラー " + code with the system's own text.
QString systemErrorText(int code);

// The reply code of the last line of a server response ("550" of "550 No such file.\r\n"), or 0.
int responseCode(const QString& lastResponse);

// The path box text without the host name that stands for the root in front of it ("ftp.example.jp"
// and "ftp.example.jp/pub" give "" and "/pub"). Only a host name at the start, followed by "/" or
// by nothing, is taken off: a server path such as "/home/ftp.example.jp/public_html" holds the
// name as a folder. Neither text is trimmed.
QString withoutHostName(const QString& text, const QString& hostName);

// What a folder change tries first, from the path given and the host name (the root shown in the
// path box): the trimmed path; "/" when it equals the trimmed host name; the path without the host
// name in front of it (withoutHostName). A target other
// than "/" with exactly one "/" at its start loses it (it is taken relative to the current
// folder); one that holds a "/" but does not begin with one gets one in front. Empty when the
// trimmed path is empty.
QString changeFolderTarget(const QString& path, const QString& hostName);

// The part of a target after its last "/" (the whole target when it holds none).
QString lastPathPart(const QString& target);

// The key of the root node of the server tree: the trimmed path box text with a leading copy of
// the host name removed, "/" appended when it does not end with one, then the folder name.
QString treeRootKey(const QString& txtDir, const QString& hostName, const QString& folderName);

// The key of a child node: the parent's key, "/", the name; no "/" is doubled where they meet.
QString treeChildKey(const QString& parentKey, const QString& name);

// The search text for the entries of a tree node: its key followed by "/*.*".
QString treeSearchText(const QString& key);

// A server path joined from the path box text and a name of the list, without doubled "/".
QString joinFtpPath(const QString& folder, const QString& name);

} // namespace SessionRules
