// Stands in for the AVI frame source until the AVI reader provides it.
#include "media/dv_frame_source.h"
#include "media/media_error.h"

namespace velinor {

std::unique_ptr<DvFrameSource> OpenAviDvFrameSource(const std::string& path) {
    throw MediaError(path, "La lecture des images DV d'un fichier AVI n'est pas encore disponible.");
}

}  // namespace velinor
