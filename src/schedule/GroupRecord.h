#pragma once

#include "GroupRow.h"

#include <QByteArray>
#include <QTime>

// The six bytes that carry one group on the serial line: refresh hours with
// the invalid bit (or 0x33 for "ignore hours"), refresh minutes and seconds,
// length hours with the static bit, length minutes and seconds, all BCD.
namespace GroupRecord {

constexpr int kSize = 6;
constexpr int kFirstOffset = 2; // rows follow the two command bytes

inline int offsetOfRow(int row) {
    return kFirstOffset + kSize * (row - 1);
}

// Encodes a row whose refresh and length texts have already been converted.
QByteArray encode(const QTime& refresh, const QTime& length, CheckState valid, CheckState staticFlag,
                  CheckState ignoreHours);

// The eight records of rows as a settings file or the window's boxes hold
// them: a refresh or length text that is no time raises error 13 "Type
// mismatch", as the window's conversion does.
QByteArray encodeRows(const GroupRows& rows);

// Decodes six bytes into the stored fields of a row (StartTime left empty).
// Bytes are shown as hexadecimal pairs without any BCD check.
GroupRow decode(const QByteArray& record);

} // namespace GroupRecord
