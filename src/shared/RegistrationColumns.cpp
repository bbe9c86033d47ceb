// The registration grid's columns.
#include "shared/RegistrationColumns.h"

namespace tv {

std::vector<forms::GridColumn> registrationColumns(const RegistrationCaptions& c) {
    const QString sex = QStringLiteral("性别"), born = QStringLiteral("出生年月"),
                  child = QStringLiteral("随行儿童姓名");
    return {{"fjh", QStringLiteral("房间编号"), ""},
            {"jzrs", QStringLiteral("居住人数"), ""},
            {"xm", c.xm, ""},
            {"dw", QStringLiteral("工作单位"), ""},
            {"dh", QStringLiteral("联系电话"), ""},
            {"yh", QStringLiteral("婚姻状况"), ""},
            {"wh", QStringLiteral("职业"), ""},
            {"n1", QStringLiteral("子女数(男)"), ""},
            {"n2", QStringLiteral("子女数(女)"), ""},
            {"rzrq", QStringLiteral("入住日期"), ""},
            {"lkrq", QStringLiteral("离开日期"), ""},
            {"sfzhm", QStringLiteral("身份证号码"), ""},
            {"fq", c.fq, ""},
            {"xb1", sex, ""},
            {"cxny1", born, ""},
            {"mq", c.mq, ""},
            {"xb2", sex, ""},
            {"cxny2", born, ""},
            {"xm1", child, ""},
            {"xb3", sex, ""},
            {"cxny3", born, ""},
            {"xm2", child, ""},
            {"xb4", sex, ""},
            {"cxny4", born, ""},
            {"xm3", child, ""},
            {"xb5", sex, ""},
            {"cxny5", born, ""},
            {"xm4", child, ""},
            {"xb6", sex, ""},
            {"cxny6", born, ""},
            {"ysno", c.ysno, ""}};
}

}  // namespace tv
