// Meshes from older drawing files take their material colour from their colour index
// once the view library is registered (it owns the colour table).
#include <gtest/gtest.h>

#include "../file/file_support.h"
#include "../file/old_writer.h"
#include "graphics/view/colours.h"
#include "graphics/view/view.h"
#include "model/db/find.h"
#include "model/db/solid.h"
#include "model/file/drawing_file.h"
#include "model/material/material.h"

class OldMeshColourTest : public FileTest {};

TEST_F(OldMeshColourTest, MeshColourComesFromItsIndex) {
    view_type_register();
    for (int v : {104, 106, 111}) {
        OldSample s;
        s.version = v;
        write_bytes(path("old.qvm"), old_sample_file(s));
        auto model = new_model();
        ASSERT_EQ(drawing_file_import(path("old.qvm").c_str(), model.get()), 0);
        MESH3* mesh = nullptr;
        for (ZOBJ* z = model.get(); z && !mesh; z = tree_next(z, model.get()))
            mesh = rtc_cast<MESH3>(z);
        ASSERT_NE(mesh, nullptr) << v;
        float want[4];
        colour_index_rgb(want, mesh->colour);
        ASSERT_GT(want[0] + want[1] + want[2], 0.0f);  // the sample's index is not black
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(mesh->material->colour[i], want[i]) << v;
        drawing_file_drop_views(model.get());
    }
}
