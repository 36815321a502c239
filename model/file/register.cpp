// Installs the save and load methods of the drawing classes into their class
// records. The object system lives below the file layer, so the methods are plain
// functions handed over at start-up; a level without a method ends the chain of
// base calls, as the class records' flags say.
#include <mutex>

#include "model/db/patt.h"
#include "model/db/solid.h"
#include "model/db/wire.h"
#include "model/file/record_util.h"
#include "model/material/image/matrpmmf.h"

void drawing_file_register() {
    static std::once_flag once;
    std::call_once(once, [] {
        rtc_register_all();
        io_set_class_methods(&ZOBJ::rtc_class, &zobj_save, &zobj_load);
        io_set_class_methods(&object::rtc_class, &object_save, &object_load);
        io_set_class_methods(&WIRE::rtc_class, &wire_save, &wire_load);
        io_set_class_methods(&XPLINE::rtc_class, &xpline_save, &xpline_load);
        io_set_class_methods(&ELARC::rtc_class, &elarc_save, &elarc_load);
        io_set_class_methods(&HATCH::rtc_class, &hatch_save, &hatch_load);
        io_set_class_methods(&TEXT2::rtc_class, &text2_save, &text2_load);
        io_set_class_methods(&VPORT::rtc_class, &vport_save, &vport_load);
        io_set_class_methods(&CONTAINER::rtc_class, &container_save, &container_load);
        io_set_class_methods(&LAYER::rtc_class, &base_only_save<&LAYER::rtc_class>,
                             &base_only_load<&LAYER::rtc_class>);
        io_set_class_methods(&MODEL::rtc_class, &base_only_save<&MODEL::rtc_class>,
                             &base_only_load<&MODEL::rtc_class>);
        io_set_class_methods(&PATT::rtc_class, &base_only_save<&PATT::rtc_class>,
                             &base_only_load<&PATT::rtc_class>);
        io_set_class_methods(&MESH3::rtc_class, &mesh3_save, &mesh3_load);
        io_set_class_methods(&CAMERA::rtc_class, &camera_save, &camera_load);
        io_set_class_methods(&LIGHT::rtc_class, &light_save, &light_load);
        io_set_class_methods(&SPOTLITE::rtc_class, &base_only_save<&SPOTLITE::rtc_class>,
                             &base_only_load<&SPOTLITE::rtc_class>);
        io_set_class_methods(&LINEPATT::rtc_class, &linepatt_save, &linepatt_load);
        io_set_class_methods(&HATCHPATT::rtc_class, &hatchpatt_save, &hatchpatt_load);
        io_set_class_methods(&FONTPATT::rtc_class, &fontpatt_save, &fontpatt_load);
        io_set_class_methods(&MATRPATT::rtc_class, &matrpatt_save, &matrpatt_load);
        MATRPMMF_register();
    });
}
