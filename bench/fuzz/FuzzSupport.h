#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Shared pieces of the libFuzzer targets.

// Ends the run (and makes libFuzzer save the input) when a property does not hold.
void fuzzCheck(bool condition, const char *what);

// The input as bytes.
QByteArray fuzzBytes(const uint8_t *data, size_t size);

// The input split at its first line feed: the head (without the line feed) and the rest. Without a line feed the
// head is empty and the rest is everything.
struct FuzzSplit {
    QByteArray head;
    QByteArray rest;
};
FuzzSplit fuzzSplit(const QByteArray &bytes);

// A file with the given bytes that the readers open by name: an anonymous memory file, rewritten per input.
QString fuzzFile(const QByteArray &bytes);
