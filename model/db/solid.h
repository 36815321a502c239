// Meshes, cameras and lights: the drawable classes of the 3D scene.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "model/db/zobj.h"

struct MaterialRecord;

// One vertex of a face block: position and six more words (the first serves the
// readers and writers as a vertex number).
struct MeshVertex {
    float x, y, z;
    int32_t words[6];
};

inline constexpr uint16_t kEdgeHidden = 2;  // not drawn (the diagonal of a quadrilateral)

struct MeshEdge {
    int32_t v[2];  // vertex indices in the block
    uint16_t flags;
};

struct MeshFace {
    int32_t e[3];  // edge indices in the block
    int32_t word;
};

// One block of a mesh's geometry. A grid block (rows and columns non-zero) stores
// rows x columns vertices row by row.
struct MeshFaceBlock {
    MeshFaceBlock* next = nullptr;
    int32_t rows = 0;
    int32_t columns = 0;
    std::vector<MeshVertex> vertices;
    std::vector<float> uv;  // two floats per vertex, or empty
    std::vector<MeshEdge> edges;
    std::vector<MeshFace> faces;
};

// The three vertices of a face from two of its edges that share a vertex: the first
// edge's other vertex, the shared vertex, the second edge's other vertex.
void edge_pair_vertices(const MeshEdge& a, const MeshEdge& b, int32_t* first, int32_t* shared,
                        int32_t* last);

// Clears image references equal to `old_ref` in a material's image-map slots: with
// a non-null `new_ref` the image becomes it, with null the slot kind becomes 0.
// 1 when any slot referred to `old_ref`.
int material_replace_image(MaterialRecord* m, RTC* old_ref, RTC* new_ref);

class MESH3 : public object {
  public:
    static RtcClass rtc_class;
    MESH3() { set_klass(&rtc_class); }
    ~MESH3() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    int report(ZITER* it) override;

    static int init_level(RTC* obj);
    int copy_level(const MESH3& src);
    void free_blocks();

    int32_t word1 = 0;
    MaterialRecord* material = nullptr;  // owned
    MeshFaceBlock* blocks = nullptr;     // owned chain, newest first
    int32_t word2 = 0;
};

// A channel key of a camera lens or light record: frame, five parameters, a value.
struct ChannelKey {
    int32_t frame;
    float params[5];
    float value;
};
// A colour key of a light record.
struct ColourKey {
    int32_t frame;
    float params[5];
    float value[4];
};

// Keyed lens of a camera: roll (channel 0) and field of view (channel 1).
struct CameraKeys {
    std::vector<ChannelKey> channel[2];
    int32_t flags[2] = {0, 0};
    float current[2] = {0, 0};
};

// Keyed light values: two single-value channels and a colour channel.
struct LightKeys {
    std::vector<ChannelKey> channel[2];
    std::vector<ColourKey> colour;
    int32_t flags[3] = {0, 0, 0};
    float current[2] = {0, 0};
    float current_colour[4] = {0, 0, 0, 0};
};

class CAMERA : public object {
  public:
    static RtcClass rtc_class;
    CAMERA() {
        set_klass(&rtc_class);
        cameras = 1;
    }
    ~CAMERA() override;

    int replace_ref(RTC* old_ref, RTC* new_ref) override;
    int report(ZITER* it) override;

    static int init_level(RTC* obj);
    int copy_level(const CAMERA& src);

    MaterialRecord* material = nullptr;  // owned
    Vec3 position = {0, 0, 0};
    Vec3 target = {0, 0, 0};
    Vec3 up = {0, 0, 0};
    Vec3 side = {0, 0, 0};
    double lens = 0.0;
    // Float bit patterns: the two view-frame values, then the focal-blur aperture.
    int32_t words[3] = {0, 0, 0};
    double roll = 0.0;  // stored defaults of the two keyed channels
    double fov = 0.0;
    CameraKeys* keys = nullptr;  // owned, may be null
    int32_t word = 0;

    // Focal-blur aperture in drawing units (0 = none), kept in words[2] so that it is
    // saved, read and copied with the other two words.
    float aperture() const { return std::bit_cast<float>(words[2]); }
    void set_aperture(float a) { words[2] = std::bit_cast<int32_t>(a); }
};

class LIGHT : public object {
  public:
    static RtcClass rtc_class;
    LIGHT() { set_klass(&rtc_class); }
    ~LIGHT() override;

    int report(ZITER* it) override;
    int copy_level(const LIGHT& src);

    float light_colour[4] = {0, 0, 0, 0};
    Vec3 position = {0, 0, 0};
    LightKeys* keys = nullptr;  // owned, may be null
};

class SPOTLITE : public LIGHT {
  public:
    static RtcClass rtc_class;
    SPOTLITE() { set_klass(&rtc_class); }

    int report(ZITER* it) override;
    int copy_level(const SPOTLITE& src);

    Vec3 target = {0, 0, 0};
    int32_t word = 0;  // spot exponent: the light falls off as cos^word (none when not above 0)
    float cone_cos[2] = {0, 0};  // cosines of the drawn cone's and the outer cone's half-angles
};
