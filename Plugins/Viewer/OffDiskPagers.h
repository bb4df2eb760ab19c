#pragma once

namespace osgViewer {
class View;
}

// The viewer draws only what the scene model holds: a PagedLOD's children or an image
// sequence's files are never loaded behind its back (the reader helper has inlined what it
// could; the rest was dropped). The view's database and image pagers are replaced by ones that
// load nothing; call again after setSceneData, which may make a new osgViewer::Scene.
void keepPagersOffDisk(osgViewer::View& view);
