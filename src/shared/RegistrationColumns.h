#pragma once
// The columns of a grid of registrations: every field of zfdj but the photo,
// in table order. The windows caption a few of them in their own words.

#include "platform/forms/DataGrid.h"

#include <QString>

#include <vector>

namespace tv {

struct RegistrationCaptions {
    QString xm;    // the tenant's name
    QString fq;    // the first elder's name
    QString mq;    // the second elder's name
    QString ysno;  // the room status
};

std::vector<forms::GridColumn> registrationColumns(const RegistrationCaptions& captions);

}  // namespace tv
