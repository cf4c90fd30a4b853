#pragma once
// The module's functions (image_module.h's table): the image library's
// readers, writers, colour configuration and the commands built on it.

#include <iosfwd>
#include <memory>
#include <string>

#include "app/image_module.h"

namespace tessary::app::library {

bool ReadImage(const std::string& path, Image& image, std::string& error);
std::unique_ptr<LibraryWriter> NewWriter();
bool WriteTexture(const std::string& path, const OutputChoice& choice, Image image, std::string& error);
void SetThreads(bool limited, int n);
std::shared_ptr<const ColourConfig> OpenColourConfig(const std::string& file, std::string& error);
int RunModes(const ModesArgs& args, std::ostream& out, std::ostream& err);
int RunLayers(const LayersArgs& args, std::ostream& out, std::ostream& err);
int RunAssemble(const AssembleArgs& args, std::ostream& out, std::ostream& err);

}  // namespace tessary::app::library
