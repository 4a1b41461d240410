#include "app/studio/studio_media_module.h"
#include "media/studio_default_transport.h"

// Built into the media module only; everything else it calls comes from the application.
extern "C" void quillory_studio_media_module(quillory::StudioMediaModule* module) {
    module->transportFactory = quillory::studioDefaultTransportFactory();
    module->openCodec = quillory::libavcodecOpener();
}
