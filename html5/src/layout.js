    /* ---- Layout --------------------------------------------------------------- */

    /* Text over the player grows and shrinks with it. */
    Player.prototype.fontSize = function () {
        var shown = this.wrapper.offsetWidth || this.width || 640;
        this.wrapper.style.fontSize = Math.max(12, Math.min(22, Math.round(shown / 28))) + 'px';
    };

    Player.prototype.layout = function () {
        var wrapper = this.wrapper;
        if (this.width && this.height) {
            // Never taller than the window, so that the controls stay in sight: the
            // width gives way and the aspect ratio stays. The page's margin above
            // the player is kept below it too.
            var top = Math.max(0, wrapper.getBoundingClientRect().top + (window.pageYOffset || 0));
            var room = Math.max(window.innerHeight / 2, window.innerHeight - 2 * top);
            var widest = Math.floor(room * this.width / this.height);
            wrapper.style.maxWidth = 'min(100%, ' + widest + 'px)';
            if (!wrapper.style.maxWidth) {
                wrapper.style.maxWidth = widest < this.width ? widest + 'px' : '100%';
            }
            if (this.sizeByScript) {
                var space = wrapper.parentNode ? wrapper.parentNode.clientWidth : 0;
                var shown = Math.min(this.width, widest, space || this.width);
                wrapper.style.width = shown + 'px';
                wrapper.style.height = Math.round(shown * this.height / this.width) + 'px';
            }
        }
        this.fontSize();
        this.placePicture();
        this.placeSoundHint();
    };

    /* The picture keeps its aspect ratio inside the player (in full screen too):
       the logo goes into the picture's corner, never onto the black bars beside
       it, and a logo in a bottom corner stays above the controls. */
    Player.prototype.placePicture = function () {
        var picture = this.picture;
        var video = this.video;
        var width = this.wrapper.clientWidth;
        var height = this.wrapper.clientHeight;
        var shownWidth = width;
        var shownHeight = height;
        if (video && video.videoWidth && video.videoHeight && width && height) {
            if (video.videoWidth * height > width * video.videoHeight) {
                shownHeight = width * video.videoHeight / video.videoWidth;
            } else {
                shownWidth = height * video.videoWidth / video.videoHeight;
            }
        }
        picture.style.left = (width - shownWidth) / 2 + 'px';
        picture.style.top = (height - shownHeight) / 2 + 'px';
        picture.style.width = shownWidth + 'px';
        picture.style.height = shownHeight + 'px';
        if (this.logo && this.logo.style.bottom) {
            var clear = video ? Math.max(0, CONTROLS_HEIGHT - (height - shownHeight) / 2) : 0;
            this.logo.style.bottom = clear + 'px';
        }
    };

