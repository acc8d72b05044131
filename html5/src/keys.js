    /* ---- Keys ----------------------------------------------------------------- */

    Player.prototype.handleKey = function (event) {
        var video = this.video;
        if (!video || event.ctrlKey || event.metaKey || event.altKey) {
            return false;
        }
        var key = event.key;
        switch (key) {
        case ' ':
        case 'Spacebar':
        case 'k':
        case 'K':
            if (video.paused) {
                this.play();
            } else {
                video.pause();
            }
            return true;
        case 'ArrowLeft':
        case 'Left':
            this.seekBy(-SEEK_STEP);
            return true;
        case 'ArrowRight':
        case 'Right':
            this.seekBy(SEEK_STEP);
            return true;
        case 'j':
        case 'J':
            this.seekBy(-LONG_SEEK_STEP);
            return true;
        case 'l':
        case 'L':
            this.seekBy(LONG_SEEK_STEP);
            return true;
        case 'Home':
            this.seekTo(0);
            return true;
        case 'End':
            if (isFinite(video.duration)) {
                this.seekTo(video.duration);
            }
            return true;
        case 'ArrowUp':
        case 'Up':
            this.changeVolume(VOLUME_STEP);
            return true;
        case 'ArrowDown':
        case 'Down':
            this.changeVolume(-VOLUME_STEP);
            return true;
        case 'm':
        case 'M':
            if (video.muted) {
                this.unmute();
            } else {
                video.muted = true;
            }
            return true;
        case 'f':
        case 'F':
            this.toggleFullscreen();
            return true;
        case 'c':
        case 'C':
            return this.toggleCaptions();
        case '>':
            this.changeSpeed(1);
            return true;
        case '<':
            this.changeSpeed(-1);
            return true;
        case 'p':
        case 'P':
            return this.togglePictureInPicture();
        default:
            if (/^[0-9]$/.test(key) && isFinite(video.duration)) {
                this.seekTo(video.duration * parseInt(key, 10) / 10);
                return true;
            }
            return false;
        }
    };

    /* Keys act while the player has the focus, or while nothing else has it on a
       page that holds only this player. */
    Player.prototype.listenToKeys = function () {
        var self = this;
        var wrapper = this.wrapper;
        // The last key pressed since the last pointer press, and whether that
        // key was the Tab that took the focus into the browser's own controls.
        var lastKey = '';
        var inControls = false;
        var onKey = function (event) {
            if (event.defaultPrevented) {
                return;
            }
            var target = event.target;
            var inPlayer = wrapper.contains(target);
            var onPage = target === document.body || target === document.documentElement;
            if (!inPlayer && !(onPage && self.onlyFocusableThing())) {
                return;
            }
            // The sound button and the logo link keep the keys that press them;
            // every other key is the player's, after a click on them too.
            var presses = event.key === 'Enter' ||
                          (target.nodeName === 'BUTTON' && /^( |Spacebar)$/.test(event.key));
            if (inPlayer && target !== wrapper && target !== self.video && presses) {
                return;
            }
            // On the browser's own controls, reached by Tab, the keys that move
            // between them and press them are theirs; the letters stay the player's.
            if (target === self.video && inControls && /^(Enter| |Spacebar|Tab|Escape|Esc|Home|End|(Arrow)?(Left|Right|Up|Down))$/.test(event.key)) {
                return;
            }
            if (self.handleKey(event)) {
                event.preventDefault();
                event.stopPropagation();
            }
        };
        // Capture, so that the video's own controls do not act on the same key.
        wrapper.addEventListener('keydown', onKey, true);
        document.addEventListener('keydown', onKey);

        // The browser's own controls keep every key to themselves while the focus
        // is inside them, as it is after a click on Chromium's play button or
        // seek bar, and they keep their pointer events too; a click may also
        // leave the focus on the page. The player box takes the focus back, so
        // that keys keep working after any click inside it. Only Tab leaves the
        // focus in the browser's controls: that is how a keyboard reaches them.
        var takeFocus = function () {
            setTimeout(function () {
                var active = document.activeElement;
                if (!active || !wrapper.contains(active) || (self.video && active === self.video && !inControls)) {
                    wrapper.className = 'vidlume-html5 vidlume-pointer';
                    try {
                        wrapper.focus({preventScroll: true});
                    } catch (e) {
                        wrapper.focus();
                    }
                }
            }, 0);
        };
        wrapper.addEventListener('focusin', function (event) {
            if (event.target === self.video) {
                inControls = lastKey === 'Tab';
                takeFocus();
            }
        });
        wrapper.addEventListener('focusout', function (event) {
            if (event.target === self.video) {
                inControls = false;
            }
        });
        wrapper.addEventListener('pointerup', takeFocus);
        document.addEventListener('pointerdown', function () {
            lastKey = '';
        }, true);
        document.addEventListener('keydown', function (event) {
            lastKey = event.key;
            wrapper.className = 'vidlume-html5';
        }, true);
    };

    /* On a touch screen the browser's first tap on a paused video only shows its
       controls; a tap on the picture (above the controls) starts it at once. */
    Player.prototype.listenToTaps = function () {
        var self = this;
        var video = this.video;
        var tapped = false;
        video.addEventListener('pointerdown', function (event) {
            var box = video.getBoundingClientRect();
            tapped = event.pointerType === 'touch' && video.paused && event.clientY < box.bottom - CONTROLS_HEIGHT;
        });
        video.addEventListener('pointerup', function () {
            if (!tapped) {
                return;
            }
            tapped = false;
            // After the browser's own handling of the tap: a tap that started the
            // video already is not made twice.
            setTimeout(function () {
                if (self.video === video && video.paused) {
                    self.play();
                }
            }, 50);
        });
    };

