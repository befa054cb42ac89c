#pragma once
// An input stream from one camera node of a connection: PipeWire's stream
// aimed at the node (its serial or name as the target), offering the
// formats pixels/ can convert, handing each frame to the receiver on the
// loop thread and telling of its end once: the node gone, the daemon gone,
// the stream broken.

#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireConnection.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace camera::pw {

// Null with a German `error` when the stream cannot be made. `node` is the
// node's registry id in `connection`, `target` what connection.target()
// gave for it.
std::unique_ptr<PipeWireCameraStream> OpenNodeStream(pw_thread_loop* loop, std::shared_ptr<Connection> connection,
                                                     std::uint32_t node, std::string target,
                                                     const FormatSetting& wanted, PipeWireReceiver& receiver,
                                                     QString& error);

} // namespace camera::pw
