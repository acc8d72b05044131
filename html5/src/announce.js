    /* ---- What a screen reader hears ---------------------------------------------- */

    /* Says the text in the player's polite live region. Texts that come within a
       moment of each other are said together, the last of each kind only (a
       dragged volume slider says its final volume; three seeks by key, however
       slowly the video finds each place, say where they ended), and a state is
       not said again when it ends as it was last said (a click on the timeline
       that pauses and plays again). Each new text waits a moment more for the
       next, but nothing waits longer than a few moments in all. */
    Player.prototype.announce = function (kind, text) {
        var self = this;
        var status = this.status;
        var now = Date.now();
        if (!this.pending) {
            this.pending = {kinds: [], texts: {}, since: now, timer: null};
            status.textContent = ''; // a text said again must change to be heard again
        }
        var pending = this.pending;
        if (!(kind in pending.texts)) {
            pending.kinds.push(kind);
        }
        pending.texts[kind] = text;
        clearTimeout(pending.timer);
        var wait = Math.max(0, Math.min(ANNOUNCE_MS, pending.since + ANNOUNCE_LONGEST_MS - now));
        pending.timer = setTimeout(function () {
            var parts = [];
            self.pending = null;
            for (var i = 0; i < pending.kinds.length; i++) {
                var said = pending.texts[pending.kinds[i]];
                if (said !== self.said[pending.kinds[i]]) {
                    parts.push(said);
                    self.said[pending.kinds[i]] = said;
                }
            }
            status.textContent = parts.join(', ');
        }, wait);
    };

    /* Changes the visitor makes, by key or by any button, are announced: playing,
       paused, muted, sound on, the volume, the time after a seek, full screen. */
    Player.prototype.listenToChanges = function () {
        var self = this;
        var video = this.video;
        var wrapper = this.wrapper;
        // A click on the browser's own controls reaches no listener of the page,
        // but the browser counts it as the visitor's action.
        var acted = false;
        var onAction = function () {
            acted = true;
        };
        var hasActed = function () {
            return acted || !!(navigator.userActivation && navigator.userActivation.hasBeenActive);
        };
        document.addEventListener('keydown', onAction, true);
        document.addEventListener('pointerdown', onAction, true);
        // What happens before the visitor's first action (autoplay, loading) is
        // not said, but it is the state that later changes are told from.
        var say = function (kind, text) {
            if (self.video !== video) {
                return;
            }
            if (hasActed()) {
                self.announce(kind, text);
            } else {
                self.said[kind] = text;
            }
        };
        var muted = video.muted;
        var volume = video.volume;
        video.addEventListener('play', function () {
            say('playback', 'Playing');
        });
        video.addEventListener('pause', function () {
            say('playback', video.ended ? 'Ended' : 'Paused');
        });
        video.addEventListener('volumechange', function () {
            if (video.muted !== muted) {
                say('sound', video.muted ? 'Muted' : 'Sound on');
            } else if (video.volume !== volume) {
                say('sound', 'Volume ' + Math.round(video.volume * 100) + '%');
            }
            muted = video.muted;
            volume = video.volume;
        });
        video.addEventListener('seeked', function () {
            say('time', clockText(video.currentTime) +
                        (isFinite(video.duration) ? ' of ' + clockText(video.duration) : ''));
        });
        video.addEventListener('ratechange', function () {
            say('speed', video.playbackRate === 1 ? 'Normal speed' : 'Speed ' + video.playbackRate + '\u00d7');
        });
        video.addEventListener('enterpictureinpicture', function () {
            say('picture', 'Picture in picture');
        });
        video.addEventListener('leavepictureinpicture', function () {
            say('picture', 'Picture in picture off');
        });
        // By the C key or by the browser's own captions menu.
        if (video.textTracks && video.textTracks.addEventListener) {
            video.textTracks.addEventListener('change', function () {
                say('captions', captionsState(video));
            });
        }
        // By the F key (the player box) or the browser's own button (the video).
        var full = false;
        var onFullscreen = function () {
            var element = document.fullscreenElement || document.webkitFullscreenElement;
            var now = !!element && (element === wrapper || wrapper.contains(element));
            if (now !== full) {
                full = now;
                say('fullscreen', now ? 'Full screen' : 'Full screen off');
            }
            self.layout();
        };
        document.addEventListener('fullscreenchange', onFullscreen);
        document.addEventListener('webkitfullscreenchange', onFullscreen);
    };

    Player.prototype.onlyFocusableThing = function () {
        var others = document.querySelectorAll('input, select, textarea, button, iframe, [contenteditable], ' +
                                               'a[href], [tabindex]');
        for (var i = 0; i < others.length; i++) {
            if (!this.wrapper.contains(others[i])) {
                return false;
            }
        }
        return true;
    };

    /* "1:05" or "1:02:05". */
    function clockText(seconds) {
        var s = Math.max(0, Math.floor(seconds || 0));
        var h = Math.floor(s / 3600);
        var m = Math.floor(s / 60) % 60;
        var rest = (s % 60 < 10 ? '0' : '') + (s % 60);
        return h ? h + ':' + (m < 10 ? '0' : '') + m + ':' + rest : m + ':' + rest;
    }

