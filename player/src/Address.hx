/**
 * Turns a reference from the page into an address the runtime can load.
 *
 * A reference with a scheme ("http:", "rtmp:", "file:") is an address already and is
 * used as it was typed. Any other reference is a file name or a relative path: each
 * segment between the "/" is percent-encoded as a file name, so "#", "%", "?", blanks
 * and non-ASCII letters (as UTF-8 bytes) name the file instead of starting a fragment,
 * an escape or a query.
 */
class Address {
    static var scheme = ~/^[A-Za-z][A-Za-z0-9+.\-]*:/;

    public static function fromReference(reference:String):String {
        if (scheme.match(reference)) {
            return reference;
        }
        return [for (segment in reference.split("/")) StringTools.urlEncode(segment)].join("/");
    }
}
