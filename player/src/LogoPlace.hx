/** A rectangle in the player's pixels. */
typedef Box = {x:Float, y:Float, width:Float, height:Float};

/**
 * Where the logo goes: in its corner of the picture, at its typed width (or the
 * image's own) grown or shrunk with the player, never wider than the picture. A logo
 * in a bottom corner stays above the control bar's strip whether the bar shows or
 * not, so it never moves when the bar comes and goes.
 */
class LogoPlace {
    /**
     * picture: where the picture lies; natural: the image's own size; typedWidth: 0 for
     * none; scale: the player's size against the size the page gave it; barTop: where
     * the control bar's strip begins.
     */
    public static function place(picture:Box, naturalWidth:Float, naturalHeight:Float, typedWidth:Int, scale:Float,
                                 right:Bool, bottom:Bool, barTop:Float):Box {
        if (naturalWidth <= 0 || naturalHeight <= 0) return {x: picture.x, y: picture.y, width: 0, height: 0};
        var width = Math.min((typedWidth > 0 ? typedWidth : naturalWidth) * scale, picture.width);
        var height = naturalHeight * width / naturalWidth;
        var x = right ? picture.x + picture.width - width : picture.x;
        var y = bottom ? Math.max(picture.y, Math.min(picture.y + picture.height, barTop) - height) : picture.y;
        return {x: x, y: y, width: width, height: height};
    }

    /** How much larger the player is than the size the page gave it. */
    public static function scaleOf(width:Float, height:Float, pageWidth:Float, pageHeight:Float):Float {
        if (pageWidth <= 0 || pageHeight <= 0) return 1;
        return Math.min(width / pageWidth, height / pageHeight);
    }
}
