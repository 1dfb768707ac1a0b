// Wildcard masks of the file list: patterns joined by ';', '*' for any run of
// characters, '?' for one, letters matched without regard to case.
#pragma once

#include <QByteArray>

// True when `name` matches any pattern of `mask`. Empty patterns match
// nothing; ASCII letters are compared without regard to case, other bytes
// exactly.
bool MatchesMask(const QByteArray &name, const QByteArray &mask);

bool MatchesPattern(const QByteArray &name, const QByteArray &pattern);
