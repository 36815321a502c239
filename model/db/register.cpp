// Start-up registration of the drawing classes, in the order the class list keeps.
#include "model/db/buffer.h"
#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/db/zobj.h"

void rtc_register_all() {
    RtcClass* const order[] = {
        &ZDLIST::rtc_class,   &buffer::rtc_class,   &ZOBJ::rtc_class,      &VPORT::rtc_class,
        &PATT::rtc_class,     &LINEPATT::rtc_class, &HATCHPATT::rtc_class, &FONTPATT::rtc_class,
        &MATRPATT::rtc_class, &object::rtc_class,   &CONTAINER::rtc_class, &LAYER::rtc_class,
        &MODEL::rtc_class,    &WIRE::rtc_class,     &ELARC::rtc_class,     &HATCH::rtc_class,
        &TEXT2::rtc_class,    &XPLINE::rtc_class,   &MESH3::rtc_class,     &CAMERA::rtc_class,
        &LIGHT::rtc_class,    &SPOTLITE::rtc_class, &ZSVIEW::rtc_class,
    };
    for (RtcClass* c : order) rtc_class_setup(c);
}
