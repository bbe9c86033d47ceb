#include "shared/CheckInCopy.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace tv {

namespace {

bool isEmpty(const Value& v) { return v.isNull() || (v.kind() == Value::Kind::Text && v.toText().isEmpty()); }

// A count member: the value as a whole number, a fraction rounded half to
// even. A value that is no number or does not fit a 16-bit count gives 0,
// like an empty field, rather than a made-up figure.
int16_t toCount(const Value& v) {
    double d = 0;
    if (v.isNumber()) {
        d = v.toDouble();
    } else if (v.kind() == Value::Kind::Text) {
        bool ok = false;
        d = v.toText().trimmed().toDouble(&ok);
        if (!ok)
            return 0;
    } else {
        return 0;
    }
    if (!std::isfinite(d))
        return 0;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(d);
    std::fesetround(saved);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        return 0;
    return static_cast<int16_t>(r);
}

void copyText(Recordset& rs, const char* field, QString& member) {
    const Value v = rs.field(QString::fromLatin1(field));
    member = isEmpty(v) ? QString() : v.toText();
}

void copyCount(Recordset& rs, const char* field, int16_t& member) {
    const Value v = rs.field(QString::fromLatin1(field));
    member = isEmpty(v) ? int16_t(0) : toCount(v);
}

}  // namespace

void FillCheckInRecord(Recordset& rs, CheckInRecord& rec) {
    if (!rs.hasCurrent())
        return;
    copyText(rs, "fjh", rec.fjh);
    copyCount(rs, "jzrs", rec.jzrs);
    copyText(rs, "xm", rec.xm);
    copyText(rs, "dw", rec.dw);
    copyText(rs, "dh", rec.dh);
    copyText(rs, "yh", rec.yh);
    copyText(rs, "wh", rec.wh);
    copyCount(rs, "n1", rec.n1);
    copyCount(rs, "n2", rec.n2);
    copyText(rs, "rzrq", rec.rzrq);
    copyText(rs, "lkrq", rec.lkrq);
    copyText(rs, "sfzhm", rec.sfzhm);
    copyText(rs, "fq", rec.fq);
    copyText(rs, "xb1", rec.xb1);
    copyText(rs, "cxny1", rec.cxny1);
    copyText(rs, "mq", rec.mq);
    copyText(rs, "xb2", rec.xb2);
    copyText(rs, "cxny2", rec.cxny2);
    copyText(rs, "xm1", rec.xm1);
    copyText(rs, "xb3", rec.xb3);
    copyText(rs, "cxny3", rec.cxny3);
    copyText(rs, "xm2", rec.xm2);
    copyText(rs, "xb4", rec.xb4);
    copyText(rs, "cxny4", rec.cxny4);
    copyText(rs, "xm3", rec.xm3);
    copyText(rs, "xb5", rec.xb5);
    copyText(rs, "cxny5", rec.cxny5);
    copyText(rs, "xm4", rec.xm4);
    copyText(rs, "xb6", rec.xb6);
    copyText(rs, "cxny6", rec.cxny6);
    copyText(rs, "ysno", rec.ysno);
}

}  // namespace tv
