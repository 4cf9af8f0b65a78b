#ifndef VTHOST_RENDERER_ROAD_H
#define VTHOST_RENDERER_ROAD_H
// The renderer road of the stand-in host: panes drawn by the stand-in Vantor
// renderer instead of the host's own viewer.
//
// Every host has one road, Host::Road(). Use it with the plug-in loaded and
// the GL context current:
//
//   vthost::RendererRoad& road = host.Road();
//   if (!road.Open(*plugin, error)) ...  // Attach + SelectRendererCallback + Connect
//   host.DrawPane(pane);                  // one renderer frame into the pane
//   vthost::Image frame = pane.ReadPixels();
//   road.Close();                         // the renderer's disconnect callback
//
// or step by step:
//   Attach(plugin, error)     handshake and table exchange with the plug-in's
//                             exported Moonfair entry points;
//   SelectRendererCallback()  adds the host renderer callback named
//                             "VantorRendererCallback" (once) and makes it the
//                             current pane callback; SelectViewer() makes the
//                             host's own viewer (-1) current again;
//   Connect() / Disconnect()  the renderer's connect and disconnect callbacks.
//
// Host::DrawPane draws a pane through the renderer while the road is attached
// and connected and the current pane callback is "VantorRendererCallback"; in
// every other state the viewer road draws. A renderer frame is: the
// render-pipeline event (before render), the renderer's update callback, its
// render callback (where the element redraws its shared texture), the
// renderer's draw into the pane's framebuffer (the pane's background picture
// as the renderer's scene, then its entities), the HUD elements asked to
// DrawElement (they skip this pane), then the event after render.
// LastFrameError() holds what the last renderer frame could not draw.
#include <memory>
#include <string>

#include "png_image.h"

namespace vantor {
class Renderer;
}

namespace vthost {

class Host;
class PluginLibrary;

class RendererRoad {
 public:
  explicit RendererRoad(Host& pHost);
  ~RendererRoad();
  RendererRoad(const RendererRoad&) = delete;
  RendererRoad& operator=(const RendererRoad&) = delete;

  // The plug-in's exported symbols carry its library name; by default the name
  // of its loaded file ("libvtframelines" for libvtframelines.so). Several
  // plug-ins may attach; the renderer calls them in the order they attached.
  bool Attach(PluginLibrary& pPlugin, std::string& pError, const std::string& pLibraryName = std::string());
  void SelectRendererCallback();
  void SelectViewer();
  bool Connect();
  bool Disconnect();
  bool Open(PluginLibrary& pPlugin, std::string& pError);
  // Disconnects when connected and selects the viewer again.
  void Close();

  bool Attached() const;
  bool Connected() const { return mConnected; }
  // True when the next DrawPane goes through the renderer.
  bool DrawsPanes() const;

  // The stand-in renderer itself, for reading its scene back.
  vantor::Renderer& Renderer() { return *mRenderer; }
  const std::string& LastFrameError() const { return mLastFrameError; }

  // Used by the pane: one renderer frame into a framebuffer, taking the pane's
  // background as the renderer's scene.
  bool Frame(unsigned pFramebuffer, int pWidth, int pHeight, const Image& pBackground);

 private:
  Host& mHost;
  std::unique_ptr<vantor::Renderer> mRenderer;
  int mCallbackIndex = -1;
  bool mConnected = false;
  std::string mLastFrameError;
};

}  // namespace vthost

#endif
