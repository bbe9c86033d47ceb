#pragma once
// The windows that other subsystems open or reach, by their names in the
// window registry, and what a loaded window offers to the others: a window
// offers an interface by deriving from it; the others find it with
// tv::forms::Registry::loadedAs<...>() (nothing when it is not loaded).

#include <QImage>

namespace tv::windows {

inline constexpr const char* kCheckIn = "FrmRzdj";
inline constexpr const char* kRecords = "Tenvora";
inline constexpr const char* kBilling = "FrmZsdjs";
inline constexpr const char* kFees = "FrmZsdwh";
inline constexpr const char* kSettlement = "FrmTfjs";
inline constexpr const char* kPairPrint = "FrmDyjl";
inline constexpr const char* kExchange = "Exnac";
inline constexpr const char* kFileManager = "FrmWjgl";

// The check-in window: the ID-card photo of the row it shows.
class CheckInWindow {
public:
    virtual QImage regPhoto() const = 0;

protected:
    ~CheckInWindow() = default;
};

// The tenant records window: the photo of its registration, and its two
// print choice boxes (one registration, two registrations).
class RecordsWindow {
public:
    virtual QImage regPhoto() const = 0;
    // Both boxes cleared and enabled again after a print.
    virtual void resetPrintChoice() = 0;
    // The one-registration box enabled again.
    virtual void enableSingleChoice() = 0;

protected:
    ~RecordsWindow() = default;
};

// The fee records window: its batch print of every bill of its billing date,
// three receipts to a sheet.
class FeesWindow {
public:
    virtual void Zddy() = 0;

protected:
    ~FeesWindow() = default;
};

// The registration records window: the photos of its two grids' rows
// (which = 1 or 2).
class PairPrintWindow {
public:
    virtual QImage pairPhoto(int which) const = 0;

protected:
    ~PairPrintWindow() = default;
};

}  // namespace tv::windows
