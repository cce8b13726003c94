// What the ten build steps generate (every texture's pixels just before
// upload, every mesh's vertices as compiled), hashed step by step and checked
// against the values kept for this architecture in tests/data/data_hashes.txt.
// The same code must make the same data everywhere; where a system maths
// library rounds otherwise the difference shows here, step by step, long
// before anyone compares pictures. QH_DATA_HASH_ITEMS=FILE lists one hash
// per texture and mesh, to find which generator differs.
#include "presentation/demo.h"
#include "geometry/mesh.h"
#include "support/gl_test.h"
#include "texture/texture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

#if defined(__x86_64__)
const char* const ARCH = "amd64";
#elif defined(__i386__)
const char* const ARCH = "i386";
#elif defined(__aarch64__)
const char* const ARCH = "arm64";
#else
const char* const ARCH = "other";
#endif

const uint64_t FNV_OFFSET = 0xcbf29ce484222325ull;
const uint64_t FNV_PRIME = 0x100000001b3ull;

void fnv(uint64_t* hash, const void* data, size_t size)
{
    const uint8_t* bytes = (const uint8_t*)data;
    for (size_t i = 0; i < size; i++) *hash = (*hash ^ bytes[i]) * FNV_PRIME;
}

struct StepHash {
    uint64_t hash = FNV_OFFSET;
    int textures = 0;
    int meshes = 0;
};
StepHash s_step;
std::string s_table;  // "<arch> <step> <hash> <textures> <meshes>" lines
FILE* s_items = nullptr;

void item_done(const char* kind, int index, uint64_t hash)
{
    fnv(&s_step.hash, &hash, sizeof hash);
    if (s_items) fprintf(s_items, "%s %d %016llx\n", kind, index, (unsigned long long)hash);
}

void on_texture(const Texture* t)
{
    uint64_t h = FNV_OFFSET;
    fnv(&h, &t->width, sizeof t->width);
    fnv(&h, &t->height, sizeof t->height);
    fnv(&h, t->pixels, (size_t)t->width * t->height * sizeof(uint32_t));
    item_done("texture", ++s_step.textures, h);
}

void on_mesh(const Mesh* m)
{
    uint64_t h = FNV_OFFSET;
    fnv(&h, m->matrix, 16 * sizeof(float));
    for (const PolygonGroup* g = m->groups; g; g = g->next) {
        for (unsigned i = 0; i < g->polygon_count; i++) {
            const Polygon* p = g->polygons[i];
            fnv(&h, &p->hidden, 1);
            for (unsigned v = 0; v < p->vertex_count; v++) {
                const Vertex& x = p->vertices[v];
                const float f[8] = {x.position.x, x.position.y, x.position.z, x.normal.x,
                                    x.normal.y,   x.normal.z,   x.u,          x.v};
                fnv(&h, f, sizeof f);
                fnv(&h, &x.colour, sizeof x.colour);
            }
            fnv(&h, p->triangles, p->triangle_count * sizeof(Triangle));
        }
    }
    item_done("mesh", ++s_step.meshes, h);
}

void after_step(int step)
{
    char line[96];
    snprintf(line, sizeof line, "%s %d %016llx %d %d\n", ARCH, step,
             (unsigned long long)s_step.hash, s_step.textures, s_step.meshes);
    s_table += line;
    if (s_items) fprintf(s_items, "step %d done\n", step);
    s_step = StepHash();
}

TEST(DataHashes, EveryBuildStepMakesTheDataExpectedForThisArchitecture)
{
    gl_test_context();
    std::ifstream file(QH_DATA_HASHES);
    std::string expected, line;
    while (std::getline(file, line)) {
        if (line.compare(0, strlen(ARCH) + 1, std::string(ARCH) + " ") == 0) expected += line + "\n";
    }
    const char* items = getenv("QH_DATA_HASH_ITEMS");
    if (items) s_items = fopen(items, "w");
    texture_upload_observer = on_texture;
    mesh_compile_observer = on_mesh;
    demo_load(after_step);
    texture_upload_observer = nullptr;
    mesh_compile_observer = nullptr;
    if (s_items) fclose(s_items);
    demo_unload();
    if (expected.empty()) {
        GTEST_SKIP() << "no data hashes for " << ARCH << " in tests/data/data_hashes.txt; this "
                     << "machine's are:\n" << s_table;
    }
    EXPECT_EQ(s_table, expected) << "step by step: architecture, step, hash, textures, meshes";
}

}  // namespace
