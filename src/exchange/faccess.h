#pragma once
// The second import step "打开Access文件": the data file and its table, its
// fields, and the import of the sheet chosen in the first step, appended by
// column position.

#include "exchange/Connections.h"
#include "platform/forms/Form.h"

#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tv::exchange {

struct faccessUi {
    QLineEdit* Text1 = nullptr;
    QPushButton* Img2 = nullptr;
    QComboBox* Com1 = nullptr;
    QLabel* Label3 = nullptr;  // fields
    QTableWidget* msg1 = nullptr;
    QPushButton* cmd1 = nullptr;
    QPushButton* Cmd3 = nullptr;
    QPushButton* cmd2 = nullptr;
};

class faccess : public tv::forms::Window<faccessUi>, public HoldsDataFile {
public:
    static constexpr const char* kName = "faccess";
    faccess();

    ImportCounts LastImport;

protected:
    QSize designSize() const override { return {8400, 7200}; }
    void build(QWidget* root) override;

private:
    void Img2_Click();
    void Com1_Click();
    void cmd1_Click();
    void Cmd3_Click();
    void cmd2_Click();
    void failed(const QString& why, tv::dlg::Style style);
};

}  // namespace tv::exchange
