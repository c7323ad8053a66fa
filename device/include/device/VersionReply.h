#pragma once

#include <QString>

// The instrument's answer to the version query: bytes 2-3 the tag "KB",
// bytes 4-6 the version as three ASCII digits; bytes 0, 1 and 7 are free.
struct VersionReply
{
    static constexpr const char *Query = "@v;";
    static constexpr int Size = 8;
    static constexpr int LowestAcceptedVersion = 100;

    QString tag;
    int version = 0;

    // Reads exactly Size bytes.
    static VersionReply fromBytes(const char *bytes);
    // 123 as "V1.23", untranslated: for records, JSON and tables.
    static QString versionText(int version);
    bool isAccepted() const;
};
