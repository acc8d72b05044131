    /* ---- Sound --------------------------------------------------------------- */

    var SPEAKER_OFF = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M3 9v6h4l5 5V4L7 9H3z' +
                      'm13.6 3 2.7-2.7-1.4-1.4-2.7 2.7-2.7-2.7-1.4 1.4 2.7 2.7-2.7 2.7 1.4 1.4 ' +
                      '2.7-2.7 2.7 2.7 1.4-1.4z"/></svg>';

    /* Calls back once with true when the video turns out to carry sound, or with
       false when it turns out not to. Browsers tell in different ways: Firefox at
       once, Chromium once it has decoded some sound, or not after 1.5 s of video. */
    function findSound(video, callback) {
        var events = ['loadedmetadata', 'canplay', 'progress', 'timeupdate', 'ended'];
        var done = false;
        var check = function () {
            var answer = null;
            if (video.readyState >= 1 && video.audioTracks && typeof video.audioTracks.length === 'number') {
                answer = video.audioTracks.length > 0;
            } else if (video.readyState >= 1 && typeof video.mozHasAudio === 'boolean') {
                answer = video.mozHasAudio;
            } else if (typeof video.webkitAudioDecodedByteCount === 'number') {
                if (video.webkitAudioDecodedByteCount > 0) {
                    answer = true;
                } else if (video.currentTime > 1.5 || video.ended) {
                    answer = false;
                }
            } else if (video.readyState >= 1) {
                answer = true; // no way to tell: offer it
            }
            if (answer === null || done) {
                return;
            }
            done = true;
            for (var i = 0; i < events.length; i++) {
                video.removeEventListener(events[i], check);
            }
            callback(answer);
        };
        for (var i = 0; i < events.length; i++) {
            video.addEventListener(events[i], check);
        }
        check();
    }

    /* A muted autoplay of a video with sound shows how to get the sound until the
       visitor turns it on, or until it has been seen for a while after the
       visitor's first action. */
    Player.prototype.offerSound = function () {
        var self = this;
        var video = this.video;
        findSound(video, function (hasSound) {
            if (hasSound && self.video === video && video.muted) {
                self.showSoundHint();
            }
        });
    };

    Player.prototype.showSoundHint = function () {
        var self = this;
        var video = this.video;
        var button = document.createElement('button');
        button.type = 'button';
        button.className = 'vidlume-sound';
        var touch = window.matchMedia && window.matchMedia('(pointer: coarse)').matches;
        // Its name is the text it shows.
        button.innerHTML = SPEAKER_OFF + '<span>' + (touch ? 'Tap for sound' : 'Click for sound') + '</span>';
        this.soundButton = button;
        // Before the video, so that it is the first tab stop after the player box.
        this.wrapper.insertBefore(button, video);
        this.placeSoundHint();

        var timer = null;
        var remove = function () {
            if (button.parentNode) {
                button.parentNode.removeChild(button);
            }
            video.removeEventListener('volumechange', onVolume);
            video.removeEventListener('ended', remove);
            document.removeEventListener('pointerdown', onFirstAction, true);
            document.removeEventListener('keydown', onFirstAction, true);
            if (timer) {
                clearTimeout(timer);
            }
            self.soundButton = null;
        };
        var onVolume = function () {
            if (!video.muted && video.volume > 0) {
                remove();
            }
        };
        var onFirstAction = function () {
            document.removeEventListener('pointerdown', onFirstAction, true);
            document.removeEventListener('keydown', onFirstAction, true);
            timer = setTimeout(remove, SOUND_HINT_MS);
        };
        button.addEventListener('click', function (event) {
            event.stopPropagation();
            self.unmute();
            if (self.video.paused) {
                self.play(); // autoplay may have been refused
            }
            self.wrapper.focus();
        });
        video.addEventListener('volumechange', onVolume);
        video.addEventListener('ended', remove); // nothing left to hear
        document.addEventListener('pointerdown', onFirstAction, true);
        document.addEventListener('keydown', onFirstAction, true);
        this.removeSoundButton = remove;
    };

    /* The hint sits at the top in the middle; where that would cover the logo, it
       moves to the other side, and on a player too narrow for both, below a logo
       at the top or above one at the bottom. */
    Player.prototype.placeSoundHint = function () {
        var hint = this.soundButton;
        var logo = this.logo;
        if (!hint) {
            return;
        }
        var style = hint.style;
        style.left = style.right = style.top = style.transform = '';
        if (!logo || !overlap(hint.getBoundingClientRect(), logo.getBoundingClientRect())) {
            return;
        }
        style.transform = 'none';
        style.left = this.logoOnTheRight ? '8px' : 'auto';
        style.right = this.logoOnTheRight ? 'auto' : '8px';
        var logoBox = logo.getBoundingClientRect();
        if (!overlap(hint.getBoundingClientRect(), logoBox)) {
            return;
        }
        var top = this.wrapper.getBoundingClientRect().top;
        var below = logoBox.bottom - top + 8;
        style.top = (logo.style.top ? below : Math.max(0, logoBox.top - top - hint.offsetHeight - 8)) + 'px';
    };

    Player.prototype.unmute = function () {
        var video = this.video;
        if (video.volume === 0) {
            video.volume = VOLUME_STEP;
        }
        video.muted = false;
    };

    Player.prototype.play = function () {
        var started = this.video.play();
        if (started && started.catch) {
            started.catch(function () {}); // a refused play leaves the video paused
        }
    };

    function overlap(a, b) {
        return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.left < b.right &&
               b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }

