#pragma once
// The prescription paper in twips: where its field boxes and lines are, and how a field box places its value
// and underline after its caption. The screen and the printed page share these numbers.

#include <QLineF>
#include <QRectF>
#include <QString>
#include <array>

namespace qv {

inline constexpr double kPaperWidth = 10830;
inline constexpr double kPaperHeight = 7257;
inline constexpr int kFieldCount = 13;
// Header field indexes that have their own behaviour.
inline constexpr int kArchiveNumberField = 1;
inline constexpr int kSpeciesField = 2;
inline constexpr int kSexField = 3;
inline constexpr int kDateField = 6;
inline constexpr int kVeterinarianField = 7;
inline constexpr int kPractisingNumberField = 8;
inline constexpr int kDispenserField = 9;
inline constexpr int kFirstDiagnosisField = 10;
inline constexpr int kLastDiagnosisField = 12;

inline bool isDiagnosisField(int index)
{
    return index >= kFirstDiagnosisField && index <= kLastDiagnosisField;
}

struct FieldBox {
    QRectF box; // on the paper
    QString caption; // empty for the diagnosis lines
};

// The thirteen field boxes, by field index.
const std::array<FieldBox, kFieldCount>& fieldBoxes();

// Inside a field box, after a caption of captionWidth: the value starts 100 twips after the caption and stops
// 135 short of the box's width; its underline runs 60 past the value, which is 25 past the box.
struct FieldBoxLayout {
    QRectF value;
    QLineF underline;
};
FieldBoxLayout fieldBoxLayout(double boxWidth, double captionWidth);

// The caption's place inside its box.
inline constexpr double kCaptionTop = 60;

// The outer frame and the rules of the paper, by index of the desk's paperRules.
const std::array<QLineF, 7>& paperLines();
// The dotted guides under the three diagnosis lines.
const std::array<QLineF, 3>& diagnosisGuides();

// The left edge that centres something of ownWidth in containerWidth (negative when it is wider).
inline double centredLeft(double containerWidth, double ownWidth) { return (containerWidth - ownWidth) / 2; }

} // namespace qv
