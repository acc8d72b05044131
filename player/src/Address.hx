/**
 * Turns a reference from the page into an address the runtime can load, by the same
 * rule as the page's HTML5 player.
 *
 * A reference with a scheme is an address already and is used as it was typed: letters
 * followed by "://" ("http://", "rtmp://", "file://"), a host reference starting with
 * "//", or a "data:" or "blob:" address. Any other reference is a file name or a
 * relative path, even one holding a colon ("Talk: 1.flv"): each segment between the "/"
 * is percent-encoded as a file name, so "#", "%", "?", ":", blanks and non-ASCII
 * letters (as UTF-8 bytes) name the file instead of starting a fragment, an escape, a
 * query or a scheme.
 */
class Address {
    public static function hasScheme(reference:String):Bool {
        return ~/^[A-Za-z][A-Za-z0-9+.\-]*:\/\//.match(reference) || StringTools.startsWith(reference, "//")
            || ~/^(data|blob):/i.match(reference);
    }

    public static function fromReference(reference:String):String {
        if (hasScheme(reference)) {
            return reference;
        }
        return [for (segment in reference.split("/")) StringTools.urlEncode(segment)].join("/");
    }

    /** The file name a visitor knows the reference by: its last segment, decoded for an address. */
    public static function fileName(reference:String):String {
        var path = reference;
        if (hasScheme(reference)) {
            path = ~/[?#].*$/.replace(reference, "");
            try {
                var decoded = StringTools.urlDecode(path);
                if (decoded != null) path = decoded;
            } catch (e:Dynamic) {
                // a stray "%": shown as typed
            }
        }
        return path.substr(path.lastIndexOf("/") + 1);
    }
}
