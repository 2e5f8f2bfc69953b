// The library's only exported symbols.
#include "converter_impl.h"

extern "C" ISS_OrbVideoConverter* CreateOrbVideoConverter() {
  try {
    return new orb::converter::ISS_OrbVideoConverterImpl();
  } catch (...) {
    return nullptr;
  }
}

extern "C" int DestroyOrbVideoConverter(ISS_OrbVideoConverter* converter) {
  delete converter;
  return 0;
}
