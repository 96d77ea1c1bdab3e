// A library that carries the real PiPL but exports no PluginMain: the host must refuse it with
// one clear line instead of calling into it.
struct ResArchive;
const ResArchive* Res_ModuleArchive();

extern "C" __attribute__((visibility("default"))) const void* NotTheEntryPoint() {
    return Res_ModuleArchive();
}
