#pragma once

// The characters a mail field may hold. Below the SMTP session, which checks its request with it; it
// knows nothing of the session.

#include "errors.h"

#include <QString>

// A mail field whose text cannot be sent or stored as it stands; the message names the field.
class EMailFieldError final : public AppError
{
public:
    using AppError::AppError;
};

enum class FieldCharacters {
    // Anything but control characters (CR, LF, NUL, ...), which would split a command line of the
    // dialogue or a line of setting.ini.
    Text,
    // Also nothing above U+00FF: the account and the password go out and are stored one byte per
    // character, so any other character would be sent and kept as another one.
    Latin1,
};

// Throws EMailFieldError naming the field by its caption (`label`) when `value` holds a character that
// `allowed` excludes.
void CheckMailField(const QString &label, const QString &value, FieldCharacters allowed = FieldCharacters::Text);
