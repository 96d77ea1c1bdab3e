// gimp_copy_floor: a GIMP 2.10 plug-in that does the least any filter plug-in must do to a layer:
// read every pixel of the drawable, write it unchanged into the shadow buffer, merge the shadow
// as an undo step. It starts GEGL the way the real plug-in does and moves the pixels in bands of
// whole tile rows in the drawable's own format, so no conversion and no filter work is timed:
// what is left is GIMP's cost of starting a plug-in and serving its tiles. scripts/host-bench.sh
// times it beside the real plug-in; the real plug-in's overhead figure cannot fall below this one.
//
// Procedure "plug-in-kolmara-copy-floor" (run mode, image, drawable), no menu entry.
#include <libgimp/gimp.h>

#include <cstdint>
#include <vector>

#include "tools/gimp/gegl_start.h"

namespace {

constexpr const char* kProcedure = "plug-in-kolmara-copy-floor";

void Query() {
    static const GimpParamDef args[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("The layer")},
    };
    gimp_install_procedure(kProcedure, "Copies a layer onto itself through its shadow buffer",
                           "The floor of a filter plug-in's cost, for benchmarks.", "Lumetra",
                           "Lumetra", "2026", nullptr, "RGB*", GIMP_PLUGIN, G_N_ELEMENTS(args), 0,
                           args, nullptr);
}

bool CopyThroughShadow(gint32 drawable) {
    GeglBuffer* source = gimp_drawable_get_buffer(drawable);
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    const Babl* format = gimp_drawable_get_format(drawable);
    if (source == nullptr || shadow == nullptr || format == nullptr) return false;
    const gint width = gimp_drawable_width(drawable), height = gimp_drawable_height(drawable);
    const gint band = gint(gimp_tile_height());
    const size_t rowBytes = size_t(width) * size_t(babl_format_get_bytes_per_pixel(format));
    std::vector<uint8_t> rows(rowBytes * size_t(band));
    for (gint top = 0; top < height; top += band) {
        const GeglRectangle r{0, top, width, MIN(band, height - top)};
        gegl_buffer_get(source, &r, 1.0, format, rows.data(), gint(rowBytes), GEGL_ABYSS_NONE);
        gegl_buffer_set(shadow, &r, 0, format, rows.data(), gint(rowBytes));
    }
    gegl_buffer_flush(shadow);
    g_object_unref(source);
    g_object_unref(shadow);
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, 0, 0, width, height);
    return true;
}

void Run(const gchar*, gint nparams, const GimpParam* params, gint* nreturn, GimpParam** returned) {
    static GimpParam values[1];
    *returned = values;
    *nreturn = 1;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
    if (nparams < 3) return;
    StartPixelOnlyGegl();
    values[0].data.d_status =
        CopyThroughShadow(params[2].data.d_drawable) ? GIMP_PDB_SUCCESS : GIMP_PDB_EXECUTION_ERROR;
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

MAIN()
