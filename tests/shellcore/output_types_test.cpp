// The raster output devices are registered under the codes of the file-type tables:
// the device of a code writes the extension of the export and image rows of that code.
#include <gtest/gtest.h>

#include <string>

#include "imaging/output/output_device.h"
#include "shell/core/file_types.h"

namespace {

TEST(OutputDeviceTypes, CodesAreThoseOfTheFileTypeTables) {
    output_device_register_all();
    int n = 0;
    const OutputDevice* list = output_device_list(&n);
    ASSERT_EQ(n, 5);
    for (const FileTypeTable* table : {&kExportTypes, &kImageTypes}) {
        const int rows = table == &kExportTypes ? kExportRasterRows : 5;  // the rows images are saved as
        for (int i = 0; i < n; ++i) {
            int found = 0;
            for (int r = 0; r < rows; ++r) {
                if (int(table->rows[r].type) != list[i].type) continue;
                ++found;
                EXPECT_EQ(file_type_extension(table->rows[r]), list[i].extension) << list[i].type;
            }
            EXPECT_EQ(found, 1) << list[i].type;
        }
    }
    // Every image type that can be saved has its device.
    for (int r = 0; r < 5; ++r) EXPECT_NE(output_device_find(int(kImageTypes.rows[r].type)), nullptr) << r;
}

}  // namespace
