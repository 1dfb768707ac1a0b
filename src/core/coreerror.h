// How the core library reports a failure: it throws an exception derived
// from ECoreError and named E...Error, whose text says what failed and why,
// ready to be shown. What is not a failure (a read that found nothing, a
// text that is not a number) comes back as a plain value.
#pragma once

#include <QString>

#include <stdexcept>

class ECoreError : public std::runtime_error
{
public:
    explicit ECoreError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};
