#pragma once

#include <QByteArray>
#include <QString>

// A text file as the viewer shows it and stores it back: decoded as UTF-8 when the bytes are
// valid UTF-8, else as CP932, and written back in that encoding with the line ends it had
// (CR LF when the file used them).
struct ViewerText {
    enum class Encoding { Utf8, Cp932 };

    QString text; // lines separated by "\n"
    Encoding encoding = Encoding::Utf8;
    bool crlf = false;
    // False when the bytes could not be decoded exactly (not text, or not CP932 either): storing
    // the text back would not give the same bytes for what the user left unchanged.
    bool exact = true;

    // Larger files are not loaded: the text view is for pages and notes, not for dumps.
    static constexpr qint64 MaxBytes = 32 * 1024 * 1024;

    static ViewerText decode(const QByteArray& bytes);
    QByteArray encode() const;

    // False when the file cannot be read or is larger than MaxBytes (`error` says why, in Japanese).
    static bool load(const QString& path, ViewerText* out, QString* error = nullptr);
    // Writes through a temporary file renamed over the old one.
    bool save(const QString& path, QString* error = nullptr) const;
};
