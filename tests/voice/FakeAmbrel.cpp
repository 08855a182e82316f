// Stands for a voice library built against another interface version; the loader must refuse it.
extern "C" __attribute__((visibility("default"))) int AmbrelAbiVersion() { return 99; }
extern "C" __attribute__((visibility("default"))) void* AmbrelCreate(void*, const void*) { return nullptr; }
