#pragma once
// The windows that other subsystems open or reach, by their names in the
// window registry, and what a loaded window offers to the others: a window
// offers an interface by deriving from it; the others find it with
// tv::forms::Registry::loadedAs<...>() (nothing when it is not loaded).

#include <QImage>
#include <QString>

namespace tv::windows {

inline constexpr const char* kCheckIn = "FrmRzdj";
inline constexpr const char* kRecords = "Tenvora";
inline constexpr const char* kBilling = "FrmZsdjs";
inline constexpr const char* kFees = "FrmZsdwh";
inline constexpr const char* kSettlement = "FrmTfjs";
inline constexpr const char* kPairPrint = "FrmDyjl";
inline constexpr const char* kExchange = "Exnac";
inline constexpr const char* kFileManager = "FrmWjgl";

// A window that works on one data file from its load to its unload: that
// file. Another data file is worked on only after its 返回.
class OnDataFile {
public:
    const QString& dataFile() const { return dataFile_; }

protected:
    // The load: the window works on `path` until it is unloaded.
    void bindDataFile(const QString& path) { dataFile_ = path; }
    ~OnDataFile() = default;

private:
    QString dataFile_;
};

// A data window (check-in, tenant records, computation, fee records), loaded
// on the data file chosen in the main window: that file, which the main
// window names in its status bar while that window is in front, and whether
// its registrations or bills have a current row, the row that a print of one
// record takes.
class DataWindow : public OnDataFile {
public:
    virtual bool hasCurrentRow() const = 0;

protected:
    ~DataWindow() = default;
};

// A window that a data window opens on its own data file (the settlement
// window from the fee records window, the registration records window from
// the check-in and tenant records windows), never on the one another window
// chose or loaded since.
class OpenedOnDataFile : public OnDataFile {
public:
    // The file its next load binds.
    void openOn(const QString& path) { next_ = path; }

protected:
    // The load: the file it was opened on, else `otherwise`.
    void bindOpenedFile(const QString& otherwise) {
        bindDataFile(next_.isEmpty() ? otherwise : next_);
        next_.clear();
    }
    ~OpenedOnDataFile() = default;

private:
    QString next_;
};

// A window that holds a data file open outside data sources of its own (the
// exchange windows' connection): that file, "" when none. A new data file
// never replaces it.
class DataFileHolder {
public:
    virtual QString heldDataFile() const = 0;

protected:
    ~DataFileHolder() = default;
};

// The check-in window: the ID-card photo of the row it shows, and that row
// printed as one registration form (copied into CurrentCheckIn first).
class CheckInWindow {
public:
    virtual QImage regPhoto() const = 0;
    virtual void printCurrentRow() = 0;

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

// A window of bills (the computation, the fee records): the bill of its
// current row made the one receipt to print, whole, as a click on that row
// makes it.
class BillWindow {
public:
    virtual void holdCurrentBill() = 0;

protected:
    ~BillWindow() = default;
};

// The fee records window: its batch print of every bill of its billing date,
// three receipts to a sheet; and its own print question choosing that batch,
// which holds its bills as a recompute does.
class FeesWindow : public BillWindow {
public:
    virtual void Zddy() = 0;
    virtual void chooseBillsForBatch() = 0;

protected:
    ~FeesWindow() = default;
};

// The two forms of a pair: the first from the registration records window's
// upper grid, the second from its lower grid.
enum class PairForm { First, Second };

// The registration records window: the photo of each grid's row.
class PairPrintWindow {
public:
    virtual QImage pairPhoto(PairForm form) const = 0;

protected:
    ~PairPrintWindow() = default;
};

}  // namespace tv::windows
