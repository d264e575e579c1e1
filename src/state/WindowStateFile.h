#pragma once

#include <QByteArray>
#include <QString>

#include "state/WindowStateRecord.h"

class RandomLetters;

// tiv.ini in the working directory, in code page 936.
namespace WindowStateFile {

// The file in the current working directory, worked out afresh for every read and write.
QString filePath();

// An absent file or key reads as empty text and 0.
WindowStateRecord read();
// Writes all ten keys in their fixed order, with a random letter on each side of the login name.
bool write(const WindowStateRecord& record, RandomLetters& letters);

} // namespace WindowStateFile
