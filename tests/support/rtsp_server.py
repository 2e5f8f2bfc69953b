#!/usr/bin/python3
"""Serves a local H.264 (+ optional AAC) file over RTSP for tests.

Usage: rtsp_server.py MEDIA_FILE PORT [--loop]

The file is streamed at rtsp://127.0.0.1:PORT/clip without re-encoding.
"ready" is printed once the port is listening; SIGTERM/SIGINT exit cleanly.

Runs on Debian's /usr/bin/python3 because the GObject bindings (python3-gi)
are a distro package that other interpreters cannot import.
"""

import argparse
import os
import signal
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstPbutils", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstPbutils, GstRtspServer  # noqa: E402

MOUNT = "/clip"


def loop_forever(_factory, media):
    """Replays the file endlessly as one continuous stream.

    The end-of-stream is dropped before it reaches the queues (a queue that
    has seen EOS refuses further data) and the demuxer is sent back to the
    start with a non-flushing seek: running time, and so RTP timestamps,
    keep growing, and clients see one live stream rather than a restart.
    """
    element = media.get_element()
    queues = [element.get_by_name(name) for name in ("q0", "q1")]
    sinks = [q.get_static_pad("sink") for q in queues if q is not None]
    ended = set()

    def rewind():
        sinks[0].push_event(Gst.Event.new_seek(
            1.0, Gst.Format.TIME, Gst.SeekFlags.NONE,
            Gst.SeekType.SET, 0, Gst.SeekType.NONE, -1))
        return GLib.SOURCE_REMOVE

    def on_event(pad, info):
        if info.get_event().type != Gst.EventType.EOS:
            return Gst.PadProbeReturn.OK
        # The demuxer's single streaming thread ends every stream in turn,
        # so there is no race on `ended`; seek only once all have ended,
        # and from the main loop since seeking from a streaming thread
        # would deadlock on the demuxer's stream lock.
        ended.add(pad)
        if len(ended) == len(sinks):
            ended.clear()
            GLib.idle_add(rewind)
        return Gst.PadProbeReturn.DROP

    for pad in sinks:
        pad.add_probe(Gst.PadProbeType.EVENT_DOWNSTREAM, on_event)


def has_audio(path):
    """True if the file carries an AAC track we can forward as-is."""
    info = GstPbutils.Discoverer.new(10 * Gst.SECOND).discover_uri(
        Gst.filename_to_uri(path))
    return any(s.get_caps().to_string().startswith("audio/mpeg")
               for s in info.get_audio_streams())


def launch_line(path, audio):
    # parsebin picks the demuxer and parsers, so .mp4 and .mkv share one
    # pipeline; the caps after "d." route each elementary stream by type.
    # Quoted so that paths with spaces survive gst_parse_launch.
    location = path.replace("\\", "\\\\").replace('"', '\\"')
    line = (f'filesrc location="{location}" ! parsebin name=d '
            "d. ! video/x-h264 ! queue name=q0 "
            "! rtph264pay name=pay0 pt=96 config-interval=-1")
    if audio:
        line += " d. ! audio/mpeg ! queue name=q1 ! rtpmp4gpay name=pay1 pt=97"
    return f"( {line} )"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("media_file")
    parser.add_argument("port", type=int)
    parser.add_argument("--loop", action="store_true",
                        help="restart the file at its end, endlessly")
    args = parser.parse_args()

    Gst.init(None)
    path = os.path.abspath(args.media_file)
    if not os.path.isfile(path):
        sys.exit(f"rtsp_server: no such file: {path}")

    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(launch_line(path, has_audio(path)))
    # One pipeline for every client, as a camera would behave.
    factory.set_shared(True)
    if args.loop:
        factory.connect("media-configure", loop_forever)

    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(str(args.port))
    server.get_mount_points().add_factory(MOUNT, factory)

    loop = GLib.MainLoop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, loop.quit)

    # attach() binds and listens before returning, so clients may connect
    # as soon as the caller reads "ready".
    if server.attach(None) == 0:
        sys.exit(f"rtsp_server: cannot listen on 127.0.0.1:{args.port}")
    print("ready", flush=True)
    loop.run()


if __name__ == "__main__":
    main()
