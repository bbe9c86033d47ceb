#pragma once
// The export window "Access导出到excel表": the ticked fields of one table of
// a data file, every row, into the first worksheet of a new workbook.

#include "exchange/Connections.h"
#include "platform/forms/Form.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tv::exchange {

struct outformUi {
    QLineEdit* accesstxt = nullptr;
    QPushButton* Img2 = nullptr;  // picks the data file
    QComboBox* Combo1 = nullptr;
    QLineEdit* Txtmc = nullptr;
    QPushButton* Img1 = nullptr;  // picks the workbook's name
    QLineEdit* Text1 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* cmdout = nullptr;
    QPushButton* CmdTc = nullptr;
};

class outform : public tv::forms::Window<outformUi>, public HoldsDataFile {
public:
    static constexpr const char* kName = "outform";
    outform();

    // Rows written by the last export, and its texts cut to fit their cells.
    qint64 ExportedRows = 0;
    qint64 CutCells = 0;

protected:
    QSize designSize() const override { return {8400, 6600}; }
    void build(QWidget* root) override;

private:
    void Img2_Click();
    void Combo1_Click();
    void List1_ItemCheck(QListWidgetItem* item);
    void Img1_Click();
    void cmdout_Click();
    void CmdTc_Click();
    void exportTo(const QString& path, const QStringList& fields);
};

}  // namespace tv::exchange
