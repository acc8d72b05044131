import haxe.io.Bytes;

/**
 * What the start of an FLV file tells before playback: the duration and picture size
 * from its onMetaData script tag, and, where the file has one, its keyframe index
 * (time and byte position of each keyframe), which says how much of the video a
 * given number of loaded bytes holds.
 *
 * read() returns null while the bytes do not yet reach the end of the first script
 * tag; a file without an onMetaData tag gives an FlvInfo with nothing known.
 */
class FlvInfo {
    public var duration = 0.0;
    public var width = 0;
    public var height = 0;
    public var keyframeTimes:Array<Float> = [];
    public var keyframePositions:Array<Float> = [];
    /** False when the bytes are not an FLV file at all. */
    public var isFlv = true;

    function new() {}

    /** Bytes enough for the metadata of any file this player meets; read() gives up after them. */
    public static inline var ENOUGH = 256 * 1024;

    public static function read(bytes:Bytes, length:Int):Null<FlvInfo> {
        var info = new FlvInfo();
        if (length < 9) return null;
        if (bytes.get(0) != "F".code || bytes.get(1) != "L".code || bytes.get(2) != "V".code) {
            info.isFlv = false;
            return info;
        }
        var offset = readUInt32(bytes, 5) + 4; // header, then the first PreviousTagSize
        if (offset + 11 > length) return length >= ENOUGH ? info : null;
        var type = bytes.get(offset) & 0x1F;
        var size = (bytes.get(offset + 1) << 16) | (bytes.get(offset + 2) << 8) | bytes.get(offset + 3);
        if (type != 18) return info; // the first tag is no script tag: no metadata
        var start = offset + 11;
        if (start + size > length) return length >= ENOUGH ? info : null;
        try {
            var reader = new Amf0Reader(bytes, start, start + size);
            if (reader.value() == "onMetaData") info.take(reader.value());
        } catch (e:Dynamic) {
            // damaged metadata is left unread: playback still tells the duration
        }
        return info;
    }

    function take(meta:Dynamic) {
        if (meta == null) return;
        duration = number(Reflect.field(meta, "duration"));
        width = Std.int(number(Reflect.field(meta, "width")));
        height = Std.int(number(Reflect.field(meta, "height")));
        var keyframes:Dynamic = Reflect.field(meta, "keyframes");
        if (keyframes != null) {
            var times:Dynamic = Reflect.field(keyframes, "times");
            var positions:Dynamic = Reflect.field(keyframes, "filepositions");
            if (Std.isOfType(times, Array) && Std.isOfType(positions, Array)) {
                var t:Array<Dynamic> = times;
                var p:Array<Dynamic> = positions;
                for (i in 0...Std.int(Math.min(t.length, p.length))) {
                    keyframeTimes.push(number(t[i]));
                    keyframePositions.push(number(p[i]));
                }
            }
        }
    }

    /**
     * The time up to which a file loaded to `bytesLoaded` of `bytesTotal` bytes can be
     * played: from the keyframe index where there is one, else in proportion to the
     * bytes. A file loaded completely plays to its end.
     */
    public function loadedTime(bytesLoaded:Float, bytesTotal:Float):Float {
        if (bytesTotal > 0 && bytesLoaded >= bytesTotal) return Math.POSITIVE_INFINITY;
        if (keyframePositions.length > 1) {
            var time = 0.0;
            for (i in 0...keyframePositions.length) {
                if (keyframePositions[i] > bytesLoaded) break;
                time = keyframeTimes[i];
            }
            return time;
        }
        return bytesTotal > 0 && duration > 0 ? duration * bytesLoaded / bytesTotal : 0;
    }

    static function number(value:Dynamic):Float {
        return Std.isOfType(value, Float) || Std.isOfType(value, Int) ? (value : Float) : 0;
    }

    static function readUInt32(bytes:Bytes, at:Int):Int {
        return (bytes.get(at) << 24) | (bytes.get(at + 1) << 16) | (bytes.get(at + 2) << 8) | bytes.get(at + 3);
    }
}

/** Reads AMF0 values, the form of an FLV's script data; throws at the end of its bytes. */
private class Amf0Reader {
    var bytes:Bytes;
    var at:Int;
    var end:Int;
    var depth = 0;

    public function new(bytes:Bytes, start:Int, end:Int) {
        this.bytes = bytes;
        this.at = start;
        this.end = end;
    }

    public function value():Dynamic {
        if (++depth > 32) throw "nested too deeply";
        var result:Dynamic = switch (byte()) {
            case 0: number();
            case 1: byte() != 0;
            case 2: text(u16());
            case 3: properties(null);
            case 5, 6: null;
            case 8:
                skip(4); // the array's announced length, which writers do not always keep
                properties(null);
            case 10:
                var count = u32();
                var list:Array<Dynamic> = [];
                for (_ in 0...count) list.push(value());
                list;
            case 11:
                var time = number();
                skip(2);
                time;
            case 12: text(u32());
            default: throw "unknown AMF0 type";
        }
        depth--;
        return result;
    }

    function properties(into:Dynamic):Dynamic {
        var object:Dynamic = {};
        while (true) {
            var key = text(u16());
            if (key == "" && peek() == 9) {
                at++;
                return object;
            }
            Reflect.setField(object, key, value());
        }
    }

    function need(count:Int) {
        if (count < 0 || at + count > end) throw "past the end";
    }

    function byte():Int {
        need(1);
        return bytes.get(at++);
    }

    function peek():Int {
        need(1);
        return bytes.get(at);
    }

    function skip(count:Int) {
        need(count);
        at += count;
    }

    function u16():Int {
        return (byte() << 8) | byte();
    }

    function u32():Int {
        var high = u16();
        return (high << 16) | u16();
    }

    function number():Float {
        need(8);
        var high = (bytes.get(at) << 24) | (bytes.get(at + 1) << 16) | (bytes.get(at + 2) << 8) | bytes.get(at + 3);
        var low = (bytes.get(at + 4) << 24) | (bytes.get(at + 5) << 16) | (bytes.get(at + 6) << 8) | bytes.get(at + 7);
        at += 8;
        return haxe.io.FPHelper.i64ToDouble(low, high);
    }

    function text(length:Int):String {
        need(length);
        var result = bytes.getString(at, length);
        at += length;
        return result;
    }
}
