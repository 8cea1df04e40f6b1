#pragma once

#include <QTest>

// Rows of text columns for table-driven tests of text rules, one line a row:
//     TextRows::columns("path", "host", "target");
//     TextRows::row("the root", "/", "ftp.example.jp", "/");
namespace TextRows {

template <typename... Names> void columns(Names... names) { (QTest::addColumn<QString>(names), ...); }

template <typename... Texts> void row(const char* name, Texts... texts)
{
    QTestData& data = QTest::newRow(name);
    ((data << QString::fromUtf8(texts)), ...);
}

} // namespace TextRows
