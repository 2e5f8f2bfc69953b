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


class Looper:
    """Replays the file endlessly as one continuous stream.

    Segment seeks make the demuxer finish a pass with SEGMENT_DONE rather
    than EOS (after which every pad would refuse data) and restart without
    a flush. The demuxer would time each new pass from the start of the
    last frame, giving two frames one timestamp, so each pass is rebased
    onto the running time at which the previous pass's last frame ends.
    """

    def __init__(self, media):
        element = media.get_element()
        queues = (element.get_by_name("q0"), element.get_by_name("q1"))
        self.pads = [q.get_static_pad("sink") for q in queues if q]
        self.segments = {}  # pad -> segment its buffers are timed against
        self.starts = {}  # pad -> running time of its latest buffer
        self.end = 0  # running time at which the current pass ends
        self.base = 0  # running time at which the next pass starts
        self.rewound = set()  # pads whose next segment starts a new pass
        # Every pad is fed by the demuxer's single streaming thread, so the
        # probes never run concurrently and need no lock.
        for pad in self.pads:
            pad.add_probe(Gst.PadProbeType.BUFFER, self.on_buffer)
            pad.add_probe(Gst.PadProbeType.EVENT_DOWNSTREAM, self.on_event)
        # An endless stream has no length: the file's duration must not
        # reach the SDP (a client would take the stream for a finite one).
        for q in queues:
            if q:
                q.get_static_pad("src").add_probe(
                    Gst.PadProbeType.QUERY_UPSTREAM, self.on_query)
        # Flushing is harmless before any client has been sent data.
        media.connect("prepared", lambda _: self.seek(Gst.SeekFlags.FLUSH))

    @staticmethod
    def on_query(_pad, info):
        if info.get_query().type == Gst.QueryType.DURATION:
            return Gst.PadProbeReturn.DROP  # unanswered: unknown length
        return Gst.PadProbeReturn.OK

    def seek(self, flags):
        # The demuxer seeks all streams at once, and there is always video.
        self.pads[0].push_event(Gst.Event.new_seek(
            1.0, Gst.Format.TIME, flags | Gst.SeekFlags.SEGMENT,
            Gst.SeekType.SET, 0, Gst.SeekType.NONE, -1))

    def on_buffer(self, pad, info):
        buf = info.get_buffer()
        start = buf.pts if buf.pts != Gst.CLOCK_TIME_NONE else buf.dts
        segment = self.segments.get(pad)
        if segment is None or start == Gst.CLOCK_TIME_NONE:
            return Gst.PadProbeReturn.OK
        running = segment.to_running_time(Gst.Format.TIME, start)
        if running == Gst.CLOCK_TIME_NONE:  # clipped, never played
            return Gst.PadProbeReturn.OK
        duration = buf.duration
        if duration == Gst.CLOCK_TIME_NONE:
            # Matroska leaves audio durations out; frames are regular.
            duration = max(0, running - self.starts.get(pad, running))
        self.starts[pad] = running
        self.end = max(self.end, running + duration)
        return Gst.PadProbeReturn.OK

    def on_event(self, pad, info):
        event = info.get_event()
        if event.type == Gst.EventType.SEGMENT_DONE:
            # The demuxer sends this on every pad after all of the pass's
            # data, so the first one seen closes the pass.
            if not self.rewound:
                self.base = self.end
            self.rewound.add(pad)
            if pad is self.pads[0]:
                # Not from this streaming thread: the seek needs its lock.
                GLib.idle_add(self.seek, Gst.SeekFlags.NONE)
        elif event.type == Gst.EventType.SEGMENT:
            segment = event.parse_segment()
            rebase = pad in self.rewound
            if rebase or segment.stop != Gst.CLOCK_TIME_NONE:
                # Events cannot be edited from Python: send a copy in place
                # of the original (this probe lets the copy pass). It is
                # rebased onto the running time at a new pass, and never
                # has a stop, which the server would advertise as a length.
                self.rewound.discard(pad)
                if rebase:
                    segment.base = self.base
                segment.stop = Gst.CLOCK_TIME_NONE
                copy = Gst.Event.new_segment(segment)
                copy.set_seqnum(event.get_seqnum())
                self.segments[pad] = segment
                pad.send_event(copy)
                return Gst.PadProbeReturn.DROP
            self.segments[pad] = segment
        return Gst.PadProbeReturn.OK


def refuse_seeking(_pad, info):
    """Answers seekability queries with "no", as a camera would.

    Clients ask to play from 0 (ffmpeg sends "Range: npt=0.000-") and the
    server would seek the shared pipeline back for each newcomer, rewinding
    everyone already watching and, with --loop, ending the looping. A fresh
    seeking query already says "not seekable", so it is simply marked as
    answered (Python holds a reference and could not edit it anyway).
    """
    if info.get_query().type == Gst.QueryType.SEEKING:
        return Gst.PadProbeReturn.HANDLED
    return Gst.PadProbeReturn.OK


def configure(_factory, media, loop):
    # The queues' source pads face the payloaders, so these probes see the
    # server's queries but not the seeks the Looper sends from the sinks.
    element = media.get_element()
    for name in ("q0", "q1"):
        queue = element.get_by_name(name)
        if queue:
            queue.get_static_pad("src").add_probe(
                Gst.PadProbeType.QUERY_UPSTREAM, refuse_seeking)
    if loop:
        Looper(media)


def has_audio(path):
    """True if the file carries an AAC track we can forward as-is."""
    aac = Gst.Caps.from_string("audio/mpeg, mpegversion=(int)4")
    info = GstPbutils.Discoverer.new(10 * Gst.SECOND).discover_uri(
        Gst.filename_to_uri(path))
    return any(s.get_caps().is_subset(aac) for s in info.get_audio_streams())


def launch_line(path, audio):
    # parsebin picks the demuxer and parsers, so .mp4 and .mkv share one
    # pipeline; the caps after "d." route each elementary stream by type.
    # Quoted so that paths with spaces survive gst_parse_launch.
    location = path.replace("\\", "\\\\").replace('"', '\\"')
    line = (f'filesrc location="{location}" ! parsebin name=d '
            "d. ! video/x-h264 ! queue name=q0 "
            "! rtph264pay name=pay0 pt=96 config-interval=-1")
    if audio:
        line += (" d. ! audio/mpeg,mpegversion=4 ! queue name=q1"
                 " ! rtpmp4gpay name=pay1 pt=97")
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
    factory.connect("media-configure", configure, args.loop)

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
