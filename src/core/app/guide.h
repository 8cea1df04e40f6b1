#pragma once

#include <QString>
#include <QStringList>

// Where the user guide is. A guide the user put into the data folder ("ftpindex.html") wins;
// otherwise the guide installed with the program, else the one in the source tree (a build
// that was not installed).
namespace Guide {

// The page the data folder may hold in place of the shipped guide.
inline constexpr char16_t DataFolderPage[] = u"ftpindex.html";

// The folders that may hold the shipped guide's index.html, most preferred first: the installed
// docs when the build knows them, then the source tree's docs.
QStringList shippedFolders();

// The first page that exists: `dataFolder`/ftpindex.html, then index.html in each of
// `guideFolders` in order. Empty when none exists. A folder of that name is no page.
QString findIndexPage(const QString& dataFolder, const QStringList& guideFolders);

// findIndexPage over the program's data folder and shippedFolders().
QString indexPage();

} // namespace Guide
