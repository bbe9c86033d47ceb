// Every window class of the program, one line each: the windows open one
// another by name through the registry.
#include "app/RegisterWindows.h"

#include "billing/FrmZsdjs.h"
#include "checkin/FrmRzdj.h"
#include "exchange/ExchangeWindows.h"
#include "exchange/FrmWjgl.h"
#include "fees/FrmTfjs.h"
#include "fees/FrmZsdwh.h"
#include "frame/FrmMmWh.h"
#include "frame/FrmXTMM.h"
#include "frame/MDIVamo.h"
#include "frame/frmAbout.h"
#include "platform/forms/Form.h"
#include "records/Tenvora.h"
#include "register_print/FrmDyjl.h"

using tv::forms::Registry;

template <class T>
static void add() {
    Registry::add(QString::fromLatin1(T::kName), [] { return new T(); });
}

void registerWindows() {
    add<tv::frame::FrmXTMM>();
    add<tv::frame::MDIVamo>();
    add<tv::frame::FrmMmWh>();
    add<tv::frame::frmAbout>();
    add<tv::checkin::FrmRzdj>();
    add<tv::register_print::FrmDyjl>();
    add<tv::records::Tenvora>();
    add<tv::billing::FrmZsdjs>();
    add<tv::fees::FrmZsdwh>();
    add<tv::fees::FrmTfjs>();
    add<tv::exchange::Exnac>();
    add<tv::exchange::outform>();
    add<tv::exchange::fexcel>();
    add<tv::exchange::faccess>();
    add<tv::exchange::FrmWjgl>();
}
