/*
 * Pieces the browser tests share: running programs, a static file server on
 * 127.0.0.1, starting Chromium or Firefox and reading the pixels of a screenshot.
 */
'use strict';

const childProcess = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const zlib = require('node:zlib');

const CHROMIUM = '/usr/bin/chromium';
const FIREFOX = '/usr/bin/firefox-esr';
const SKIP = 77;

function which(program) {
    return childProcess.spawnSync('sh', ['-c', `command -v ${program}`]).status === 0;
}

/* Runs a program to its end; an exit status outside okStatuses throws. */
function run(program, args, okStatuses = [0]) {
    const result = childProcess.spawnSync(program, args, {encoding: 'utf8'});
    if (result.error || !okStatuses.includes(result.status)) {
        throw new Error(`${program} ${args.join(' ')} failed (${result.status}): ${result.stderr}`);
    }
    return result;
}

function ffmpeg(args) {
    run('ffmpeg', ['-nostdin', '-v', 'error', '-y', ...args]);
}

const TYPES = {'.htm': 'text/html', '.js': 'text/javascript', '.png': 'image/png', '.jpg': 'image/jpeg',
               '.flv': 'video/x-flv',
               '.mp4': 'video/mp4',
               '.swf': 'application/x-shockwave-flash', '.wasm': 'application/wasm', '.txt': 'text/plain'};

/* Serves files over HTTP on a free port of 127.0.0.1. mounts maps a path prefix
   ("/ruffle/") to a folder; "/" is the default. /landing answers any query. Every
   answer may be read by pages of any origin, file:// included. Resolves to the
   server; server.requests lists the decoded paths asked for, server.answers each
   {path, status, at} with the time of the answer's head. options.throttle maps a
   path prefix to a speed in bytes per second for the files under it; with
   options.ranges, a request for a range of bytes gets just those, except under the
   path prefixes that options.wholeOnly lists. options.charset maps a path prefix
   to the character set that its files are said to have. options.cut maps a
   path prefix to a share: the videos under it are served as if they ended there.
   options.breakOff maps a path prefix to a share: the videos under it are announced
   whole, but the connection drops once that share of the file has been sent.
   options.status maps a path prefix to an HTTP status that the videos under it are
   answered with, and nothing more. */
function startServer(mounts, options = {}) {
    const throttle = options.throttle || {};
    const prefixes = Object.keys(mounts).sort((a, b) => b.length - a.length);
    const server = http.createServer((req, res) => {
        const url = new URL(req.url, 'http://127.0.0.1');
        res.setHeader('Access-Control-Allow-Origin', '*');
        if (url.pathname === '/landing') {
            res.writeHead(200, {'Content-Type': 'text/html'});
            res.end('<html><body>landed</body></html>');
            return;
        }
        let file = '';
        const prefix = prefixes.find((p) => url.pathname.startsWith(p));
        const root = prefix ? mounts[prefix] : '';
        try {
            file = path.join(root, decodeURIComponent(url.pathname.slice(prefix.length)));
            server.requests.push(decodeURIComponent(url.pathname));
        } catch (e) {
            // a malformed escape names no file
        }
        const answer = {path: url.pathname, at: Date.now()};
        if (!root || !file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
            res.writeHead(404);
            res.end();
            server.answers.push({...answer, status: 404});
            return;
        }
        const under = (table) => Object.keys(table || {}).find((p) => url.pathname.startsWith(p));
        const charset = under(options.charset);
        const type = (TYPES[path.extname(file)] || 'application/octet-stream') +
                     (charset ? `; charset=${options.charset[charset]}` : '');
        const video = /\.(flv|mp4)$/.test(file);
        const failing = video && under(options.status);
        if (failing) {
            res.writeHead(options.status[failing]);
            res.end();
            server.answers.push({...answer, status: options.status[failing]});
            return;
        }
        const ranges = options.ranges && !(options.wholeOnly || []).some((p) => url.pathname.startsWith(p));
        if (ranges) {
            res.setHeader('Accept-Ranges', 'bytes');
        }
        let data = fs.readFileSync(file);
        const cut = video && under(options.cut);
        if (cut) {
            data = data.subarray(0, Math.round(data.length * options.cut[cut]));
        }
        const breakOff = video && under(options.breakOff);
        let until = breakOff ? Math.round(data.length * options.breakOff[breakOff]) : data.length;
        const range = ranges && /^bytes=(\d+)-(\d*)$/.exec(req.headers.range || '');
        const ranged = range && Number(range[1]) < data.length;
        if (ranged) {
            const first = Number(range[1]);
            const last = Math.min(data.length - 1, range[2] ? Number(range[2]) : data.length - 1);
            res.writeHead(206, {'Content-Type': type, 'Content-Length': last - first + 1,
                                'Content-Range': `bytes ${first}-${last}/${data.length}`});
            server.answers.push({...answer, status: 206});
            data = data.subarray(first, last + 1);
            until -= first;
        } else {
            res.writeHead(200, {'Content-Type': type, 'Content-Length': data.length});
            server.answers.push({...answer, status: 200});
        }
        const slow = !ranged && under(throttle); // the first bytes come at once, as from a cache
        const step = slow ? Math.max(1, Math.round(throttle[slow] / 10)) : data.length;
        let at = 0;
        const send = () => {
            const next = Math.min(at + step, data.length);
            if (next > until) {
                res.write(data.subarray(at, Math.max(at, until)), () => setTimeout(() => res.destroy(), 50));
                return false;
            }
            res.write(data.subarray(at, next));
            at = next;
            if (at >= data.length) {
                res.end();
                return false;
            }
            return true;
        };
        if (!slow) {
            send();
            return;
        }
        const timer = setInterval(() => {
            if (!send()) {
                clearInterval(timer);
            }
        }, 100);
        res.on('close', () => clearInterval(timer));
    });
    server.requests = [];
    server.answers = [];
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

/* Headless Chromium with a fresh profile; extraArgs are added to the usual switches. */
async function launchChromium(extraArgs = []) {
    const {chromium} = require('playwright-core');
    const browserServer = await chromium.launchServer({
        executablePath: CHROMIUM,
        headless: true,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--disable-background-networking',
               '--disable-component-update', '--disable-sync', '--no-first-run', ...extraArgs],
    });
    const browser = await chromium.connect(browserServer.wsEndpoint());
    return {browserServer, browser};
}

async function closeChromium({browserServer, browser}) {
    if (browser) {
        await browser.close().catch(() => {});
    }
    if (browserServer) {
        const pid = browserServer.process().pid;
        await browserServer.close().catch(() => {});
        try {
            process.kill(pid, 'SIGKILL'); // normally gone already
        } catch (e) {
            // ESRCH: the browser has ended
        }
    }
}

/* Debian's Firefox ESR, headless, driven over WebDriver BiDi. */
async function launchFirefox() {
    const {firefox} = require('playwright-core');
    return firefox.launch({channel: 'moz-firefox', executablePath: FIREFOX, headless: true});
}

/* The pixels of a PNG as Chromium writes screenshots (8 bits, RGB or RGBA, not
   interlaced): {width, height, pixel(x, y) -> [r, g, b]}. */
function decodePng(buffer) {
    let offset = 8;
    let width = 0;
    let height = 0;
    let channels = 0;
    const data = [];
    while (offset < buffer.length) {
        const length = buffer.readUInt32BE(offset);
        const type = buffer.toString('latin1', offset + 4, offset + 8);
        const body = buffer.subarray(offset + 8, offset + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6)) {
                throw new Error('a PNG of a kind the test does not read');
            }
            channels = body[9] === 6 ? 4 : 3;
        } else if (type === 'IDAT') {
            data.push(body);
        }
        offset += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        for (let i = 0; i < stride; i++) {
            const x = raw[y * (stride + 1) + 1 + i];
            const a = i >= channels ? pixels[y * stride + i - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
            const c = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
            let predictor = 0;
            if (filter === 1) {
                predictor = a;
            } else if (filter === 2) {
                predictor = b;
            } else if (filter === 3) {
                predictor = (a + b) >> 1;
            } else if (filter === 4) {
                const p = a + b - c;
                const pa = Math.abs(p - a);
                const pb = Math.abs(p - b);
                const pc = Math.abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            pixels[y * stride + i] = (x + predictor) & 0xFF;
        }
    }
    return {
        width,
        height,
        pixel(x, y) {
            const at = y * stride + x * channels;
            return [pixels[at], pixels[at + 1], pixels[at + 2]];
        },
    };
}

module.exports = {CHROMIUM, FIREFOX, SKIP, which, run, ffmpeg, startServer, launchChromium, closeChromium,
                  launchFirefox, decodePng};
