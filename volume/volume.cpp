#include <vocelle/volume/volume.h>

namespace vocelle {

// The five element types are compiled once here; volume.h declares them extern.
template class Volume<float>;
template class Volume<double>;
template class Volume<unsigned char>;
template class Volume<unsigned short>;
template class Volume<short>;

} // namespace vocelle
