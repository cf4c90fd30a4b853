#pragma once
// Steps the commands share (commands.cpp, and render_commands.cpp or
// no_image.cpp): reporting a failure, loading a scene's maps, keeping the
// inputs from being written over.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/map_graph.h"

namespace tessary::app {

// Writes "tessary: error: MESSAGE" as one line; returns kExitFailure.
int Fail(std::ostream& err, const std::string& message);

// Loads a scene and readies its maps for evaluation (reading the images of
// its bitmaps); on failure reports and returns false.
bool LoadMaps(const std::string& path, SceneGraph& graph, ImageLibrary& images, std::ostream& err);

// Refuses, unless forced, to write over a file the command reads.
bool KeepInputs(const std::string& output, const std::vector<std::string>& inputs, bool force, std::ostream& err);

}  // namespace tessary::app
