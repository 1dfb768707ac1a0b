#include "core/namemask.h"

#include <QList>

namespace {
char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
} // namespace

bool MatchesPattern(const QByteArray &name, const QByteArray &pattern)
{
    if (pattern.isEmpty())
        return false;
    // Greedy matching with one back-track point per '*': linear in practice
    // and never recursive, whatever the name.
    qsizetype n = 0, p = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || foldAscii(pattern[p]) == foldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool MatchesMask(const QByteArray &name, const QByteArray &mask)
{
    for (const QByteArray &pattern : mask.split(';')) {
        if (MatchesPattern(name, pattern.trimmed()))
            return true;
    }
    return false;
}
