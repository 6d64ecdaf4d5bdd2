// The toolpath page of pofhost: draws the moves that pofhost wrote into the
// page (positions as float32, arcs already divided into points) with three.js,
// and answers orbiting, stepping and picking. Runs once, when the page loads.
'use strict';
(function () {
  const ready = document.getElementById('pof-ready');
  const errors = [];
  window.addEventListener('error', (e) => {
    errors.push(String(e.message));
    ready.dataset.error = errors.join('; ');
  });

  // ORDER: the kinds as pofhost writes them in the low bits of a move's form.
  const RAPID = 0, FEED = 1, ARC = 2, CHORD = 3, SKIPPED = 4, START = 5;
  // ORDER: ArcRule of toolpath_geometry.h.
  const RULES = ['circle in the workplane',
    'helix: the arc in the workplane, the normal coordinate changing evenly',
    'marked chord: start, end and centre make no circle in the workplane',
    'not drawn: the first move, its start is not known',
    'marked chord: no centre z was sent and start and end have the same z'];
  const KINDS = [
    { name: 'rapid', label: 'rapid (dashed)', colour: 0x888888 },
    { name: 'feed', label: 'feed', colour: 0x1f5fbf },
    { name: 'arc', label: 'arc', colour: 0x2e8b3a },
    { name: 'chord', label: 'arc as marked chord', colour: 0xc0392b },
  ];
  const CODES = [3107, 3109, 3114, 3118, 3121, 3122];
  const AXIS_COLOUR = 0xe67e22, PICK_COLOUR = 0xd0106f, FINDING_COLOUR = 0xff8c00;
  const MAX_MARKERS = 4000;     // chord markers, thinned evenly past this
  const MAX_ARROWS = 400;       // direction arrows along the path
  const DASH_PX = 8, GAP_PX = 5; // the rapids' dashes on screen, whatever the zoom
  const DOT_PX = 3;             // moves shorter on screen than this are drawn as dots
  const TRACE_AROUND = 8;       // deliveries listed before and after the current move
  const MAX_SEGMENTS = 2000000; // past this the overview shows every k-th point
  const MAX_AXES = 4000;        // tool axis lines, thinned evenly past this
  const AXIS_SHARE = 0.04;      // tool axis length, of the job's extent

  const $ = (id) => document.getElementById(id);
  const text = (id) => $(id).textContent;
  const bytes = (id) => {
    const s = atob(text(id));
    const b = new Uint8Array(s.length);
    for (let i = 0; i < s.length; i++) b[i] = s.charCodeAt(i);
    return b.buffer;
  };
  const fmt = (v) => (Object.is(v, -0) ? 0 : Number(v.toPrecision(7))).toString();
  // A double as pofhost prints it: the shortest text that reads back as the
  // same double, in fixed or exponent notation, whichever is shorter (fixed
  // on a tie), the exponent with a sign and at least two digits.
  const exact = (v) => {
    if (Number.isNaN(v)) return 'nan';
    if (!Number.isFinite(v)) return v < 0 ? '-inf' : 'inf';
    if (v === 0) return Object.is(v, -0) ? '-0' : '0';
    const [mantissa, power] = v.toExponential().split('e');
    const sign = mantissa[0] === '-' ? '-' : '';
    const digits = mantissa.replace('-', '').replace('.', '');
    const e = Number(power);
    const exponent = `${e < 0 ? '-' : '+'}${String(Math.abs(e)).padStart(2, '0')}`;
    const scientific = sign + digits[0] + (digits.length > 1 ? '.' + digits.slice(1) : '') + 'e' + exponent;
    let fixed;
    if (e >= digits.length - 1) fixed = sign + digits + '0'.repeat(e - digits.length + 1);
    else if (e >= 0) fixed = sign + digits.slice(0, e + 1) + '.' + digits.slice(e + 1);
    else fixed = sign + '0.' + '0'.repeat(-e - 1) + digits;
    return fixed.length <= scientific.length ? fixed : scientific;
  };
  const escape = (s) => s.replace(/[&<>"]/g, (c) => '&#' + c.charCodeAt(0) + ';');

  // ---- The job -------------------------------------------------------------
  const job = JSON.parse(text('pof-job'));
  const points = new Float32Array(bytes('pof-points'));
  const forms = new Uint8Array(bytes('pof-forms'));
  const arcPoints = new Uint16Array(bytes('pof-arc-points'));
  const axes = new Float32Array(bytes('pof-axes'));
  const centres = new Float32Array(bytes('pof-centres'));
  const sequenceBreaks = new Uint32Array(bytes('pof-sequence'));
  const given = new Uint8Array(bytes('pof-given'));
  const arcInfo = new Uint8Array(bytes('pof-arcs'));
  const values = new Float64Array(bytes('pof-values'));
  const workplaneChanges = new Uint32Array(bytes('pof-workplanes'));
  const moveCount = forms.length, vertexCount = points.length / 3;
  const isArcCode = (code) => code === 3121 || code === 3122;
  const codeOf = (m) => CODES[(forms[m] >> 4) & 7];

  // Per move: its last vertex (-1 before the first), its tool axis, centre,
  // arc and value slots, its delivery.
  const moveEnd = new Int32Array(moveCount);
  const axisAt = new Int32Array(moveCount).fill(-1);
  const centreAt = new Int32Array(moveCount).fill(-1);
  const arcAt = new Int32Array(moveCount).fill(-1);
  const valueAt = new Uint32Array(moveCount + 1);
  const delivery = new Uint32Array(moveCount);
  {
    let v = -1, a = 0, c = 0, arc = 0, b = 0, seq = 0, k = 0, value = 0;
    for (let i = 0; i < moveCount; i++) {
      const kind = forms[i] & 7;
      v += kind === ARC ? arcPoints[arc++] : kind === SKIPPED ? 0 : 1;
      moveEnd[i] = v;
      if (forms[i] & 8) axisAt[i] = a++;
      if (kind !== SKIPPED && isArcCode(codeOf(i))) centreAt[i] = c++;
      valueAt[i] = value;
      if (isArcCode(codeOf(i))) {
        arcAt[i] = k;
        value += 6 + (job.earlier ? 0 : 1) + (arcInfo[k] & 16 ? 1 : 0);
        k++;
      } else {
        for (let bit = 0; bit < 6; bit++) if (given[i] & (1 << bit)) value++;
      }
      if (b < sequenceBreaks.length && sequenceBreaks[b] === i) {
        seq = sequenceBreaks[b + 1];
        b += 2;
      } else {
        seq += 1;
      }
      delivery[i] = seq;
    }
    valueAt[moveCount] = value;
  }
  const firstVertex = (m) => Math.max(0, m > 0 ? moveEnd[m - 1] : 0);
  // Per move, for the filters and colours: its cycle and workplane.
  const moveCycle = new Int32Array(moveCount), movePlane = new Uint8Array(moveCount);
  {
    let c = -1, w = 0, plane = 17;
    for (let m = 0; m < moveCount; m++) {
      while (c + 1 < job.cycles.length && job.cycles[c + 1][0] <= m) c++;
      while (w < workplaneChanges.length && workplaneChanges[w] <= m) { plane = workplaneChanges[w + 1]; w += 2; }
      moveCycle[m] = c;
      movePlane[m] = plane;
    }
  }
  const kindOf = (m) => forms[m] & 7;
  // The kind a move counts as: the first move by its code.
  const countedKind = (m) => {
    const kind = kindOf(m);
    if (kind !== START) return kind;
    const code = codeOf(m);
    return code === 3107 || code === 3109 ? RAPID : code === 3114 || code === 3118 ? FEED : CHORD;
  };
  // The first move whose points reach vertex `j`.
  const moveOfVertex = (j) => {
    let lo = 0, hi = moveCount - 1;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (moveEnd[mid] >= j) hi = mid; else lo = mid + 1;
    }
    return lo;
  };
  const lastMarker = (markers, m) => {
    let found = null;
    for (const [before, value] of markers) if (before <= m) found = value; else break;
    return found;
  };

  showSummary(job.summary);
  showLegend();
  const drawn = { rapid: 0, feed: 0, arc: 0, chord: 0, dots: 0, axes: 0, markers: 0, arrows: 0, findings: 0, segments: 0, thinned: 1 };

  const probe = document.createElement('canvas');
  if (!(probe.getContext('webgl2') || probe.getContext('webgl'))) {
    $('notice').textContent = 'This page draws with WebGL, which this browser does not offer. ' +
      'Turn on hardware acceleration or open the page in a current browser; the summary is on the right.';
    finish('no-webgl');
    return;
  }
  if (moveCount === 0) $('notice').textContent = 'The job has no moves: there is nothing to draw.';

  // ---- Geometry ------------------------------------------------------------
  const stride = Math.max(1, Math.ceil((vertexCount - 1) / MAX_SEGMENTS));
  drawn.thinned = stride;
  if (stride > 1)
    $('notice').textContent = `${vertexCount - 1} segments: the overview shows every ${stride}th point. ` +
      'Stepping and picking use every move.';

  const bounds = new THREE.Box3();
  for (let j = 0; j < vertexCount; j++)
    bounds.expandByPoint(new THREE.Vector3(points[3 * j], points[3 * j + 1], points[3 * j + 2]));
  if (vertexCount === 0) bounds.expandByPoint(new THREE.Vector3());
  const size = Math.max(bounds.getSize(new THREE.Vector3()).length(), 1e-6);

  const positions = new THREE.BufferAttribute(points, 3);
  const colours = new THREE.BufferAttribute(new Float32Array(vertexCount * 3), 3);

  for (let m = 0; m < moveCount; m++) {
    const kind = countedKind(m);
    if (kindOf(m) !== SKIPPED) drawn[KINDS[kind].name]++;
  }

  // What the filters let through: a move's kind and the cycle or workplane
  // the user isolated.
  const filter = { kinds: [true, true, true, true], isolate: null };
  const passes = (m) => {
    if (!filter.kinds[kindOf(m)]) return false;
    if (filter.isolate === null) return true;
    const [what, value] = filter.isolate;
    return what === 'cycle' ? moveCycle[m] === value : movePlane[m] === value;
  };

  // One index per kind over the shared points, in path order, so that a draw
  // range shows the path up to a move. Rapids have points of their own, each
  // starting its dashes afresh, so that the shortest rapid begins with a dash.
  const indexOf = [FEED, ARC, CHORD].map(() => new Uint32Array(2 * Math.ceil(vertexCount / stride) + 2));
  const used = [0, 0, 0];
  let rapidCount = 0;
  for (let m = 0; m < moveCount; m++) if (kindOf(m) === RAPID) rapidCount++;
  const rapidPoints = new Float32Array(6 * rapidCount), rapidAlong = new Float32Array(2 * rapidCount);
  const rapidColours = new THREE.BufferAttribute(new Float32Array(6 * rapidCount), 3);
  const rapidEnds = new Uint32Array(rapidCount);  // each rapid pair's end vertex, for the draw range
  let rapidUsed = 0;
  function buildIndexes() {
    used.fill(0);
    rapidUsed = 0;
    for (let prev = 0, j = Math.min(stride, vertexCount - 1), m = 0; vertexCount > 1;
      prev = j, j = Math.min(j + stride, vertexCount - 1)) {
      while (moveEnd[m] < j) m++;
      const kind = kindOf(m);
      if (kind !== RAPID && kind !== START && kind !== SKIPPED && passes(m)) {
        const k = kind - 1;
        indexOf[k][used[k]++] = prev;
        indexOf[k][used[k]++] = j;
      }
      if (j === vertexCount - 1) break;
    }
    // Every rapid whole, thinned overview or not.
    for (let m = 0; m < moveCount; m++) {
      if (kindOf(m) !== RAPID || !passes(m)) continue;
      const a = firstVertex(m), b = moveEnd[m], r = rapidUsed++;
      for (let k = 0; k < 3; k++) {
        rapidPoints[6 * r + k] = points[3 * a + k];
        rapidPoints[6 * r + 3 + k] = points[3 * b + k];
      }
      rapidAlong[2 * r] = 0;
      rapidAlong[2 * r + 1] = Math.hypot(points[3 * b] - points[3 * a], points[3 * b + 1] - points[3 * a + 1],
        points[3 * b + 2] - points[3 * a + 2]);
      rapidEnds[r] = b;
    }
    drawn.segments = rapidUsed + (used[0] + used[1] + used[2]) / 2;
  }
  buildIndexes();

  const scene = new THREE.Scene();
  const rapidGeometry = new THREE.BufferGeometry();
  rapidGeometry.setAttribute('position', new THREE.BufferAttribute(rapidPoints, 3));
  rapidGeometry.setAttribute('lineDistance', new THREE.BufferAttribute(rapidAlong, 1));
  rapidGeometry.setAttribute('color', rapidColours);
  const rapidDashed = new THREE.LineDashedMaterial({ color: KINDS[RAPID].colour, dashSize: 1, gapSize: 1 });
  const rapidSolid = new THREE.LineBasicMaterial({ color: KINDS[RAPID].colour });
  const rapidLines = new THREE.LineSegments(rapidGeometry, rapidDashed);
  rapidLines.frustumCulled = false;
  scene.add(rapidLines);
  const lines = [FEED, ARC, CHORD].map((kind, k) => {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', positions);
    geometry.setAttribute('color', colours);
    geometry.setIndex(new THREE.BufferAttribute(indexOf[k], 1));
    const object = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ color: KINDS[kind].colour }));
    object.frustumCulled = false;
    scene.add(object);
    return object;
  });
  function updateIndexes() {
    buildIndexes();
    lines.forEach((line) => { line.geometry.index.needsUpdate = true; });
    for (const name of ['position', 'lineDistance', 'color']) rapidGeometry.attributes[name].needsUpdate = true;
  }

  // Chord markers and tool axes, evenly thinned; both follow the filters.
  const thinned = (list, most) => {
    const step = Math.max(1, Math.ceil(list.length / most)), out = [];
    for (let i = 0; i < list.length; i += step) out.push(list[i]);
    return out;
  };
  const markers = new THREE.Points(new THREE.BufferGeometry(),
    new THREE.PointsMaterial({ color: KINDS[CHORD].colour, size: 6, sizeAttenuation: false }));
  const glyphs = new THREE.LineSegments(new THREE.BufferGeometry(),
    new THREE.LineBasicMaterial({ color: AXIS_COLOUR }));
  const arrows = new THREE.LineSegments(new THREE.BufferGeometry(),
    new THREE.LineBasicMaterial({ color: 0x555555 }));
  scene.add(markers, glyphs, arrows);
  let markerMoves = [], glyphMoves = [], arrowMoves = [];
  // The tool axis in force at each move: the last one given, else along z.
  const axisOfMove = (m) => {
    for (let i = m; i >= 0; i--) if (axisAt[i] >= 0 && kindOf(i) !== SKIPPED) {
      const a = 3 * axisAt[i];
      return [axes[a], axes[a + 1], axes[a + 2]];
    }
    return [0, 0, 1];
  };
  function buildMarks() {
    const chords = [], tilted = [], moving = [];
    let along = 0;
    for (let m = 0; m < moveCount; m++) {
      const kind = kindOf(m);
      if (kind === SKIPPED || !passes(m)) continue;
      if (kind === CHORD) chords.push(m);
      if (axisAt[m] >= 0) tilted.push(m);
      if (kind !== START) {
        const a = moveEnd[m] - 1, b = moveEnd[m];
        along += Math.hypot(points[3 * b] - points[3 * a], points[3 * b + 1] - points[3 * a + 1], points[3 * b + 2] - points[3 * a + 2]);
        if (along >= size / 40) { moving.push(m); along = 0; }
      }
    }
    markerMoves = thinned(chords, MAX_MARKERS);
    const markerPoints = [];
    for (const m of markerMoves) {
      const a = firstVertex(m), b = moveEnd[m];
      for (let k = 0; k < 3; k++) markerPoints.push((points[3 * a + k] + points[3 * b + k]) / 2);
    }
    markers.geometry = pointGeometry(markerPoints);
    glyphMoves = [];
    const glyphPoints = [];
    for (const m of thinned(tilted, MAX_AXES)) {
      const a = 3 * axisAt[m], tip = 3 * moveEnd[m];
      const length = Math.hypot(axes[a], axes[a + 1], axes[a + 2]);
      if (!(length > 0)) continue;
      const scale = (AXIS_SHARE * size) / length;
      for (let k = 0; k < 3; k++) glyphPoints.push(points[tip + k]);
      for (let k = 0; k < 3; k++) glyphPoints.push(points[tip + k] + axes[a + k] * scale);
      glyphMoves.push(m);
    }
    glyphs.geometry = pointGeometry(glyphPoints);
    // Chevrons at the middle of moves a readable distance apart, pointing the way the path runs.
    arrowMoves = [];
    const arrowPoints = [];
    for (const m of thinned(moving, MAX_ARROWS)) {
      const a = moveEnd[m] - 1, b = moveEnd[m];
      const from = new THREE.Vector3(points[3 * a], points[3 * a + 1], points[3 * a + 2]);
      const to = new THREE.Vector3(points[3 * b], points[3 * b + 1], points[3 * b + 2]);
      const d = to.clone().sub(from);
      if (!(d.length() > 0)) continue;
      d.normalize();
      const side = new THREE.Vector3().crossVectors(d, Math.abs(d.z) < 0.9 ? new THREE.Vector3(0, 0, 1) : new THREE.Vector3(1, 0, 0)).normalize();
      const middle = from.clone().add(to).multiplyScalar(0.5), h = size / 120;
      for (const s of [1, -1]) {
        const wing = middle.clone().addScaledVector(d, -h).addScaledVector(side, s * h * 0.6);
        arrowPoints.push(wing.x, wing.y, wing.z, middle.x, middle.y, middle.z);
      }
      arrowMoves.push(m);
    }
    arrows.geometry = pointGeometry(arrowPoints);
    drawn.markers = markerMoves.length;
    drawn.axes = glyphMoves.length;
    drawn.arrows = arrowMoves.length;
  }
  buildMarks();
  for (let i = 3, g = glyphs.geometry.attributes.position.array; i < g.length; i += 6)
    bounds.expandByPoint(new THREE.Vector3(g[i], g[i + 1], g[i + 2]));

  // A move shorter on screen than a few pixels draws no visible line: it
  // gets a dot in its colour instead, chosen afresh at every zoom, so that
  // every move leaves a mark. Only moves short against the job can qualify.
  const moveLength = new Float64Array(moveCount).fill(Infinity);
  for (let m = 0; m < moveCount; m++) {
    if (kindOf(m) === SKIPPED || kindOf(m) === START) continue;
    let length = 0;
    for (let j = Math.max(1, firstVertex(m) + 1); j <= moveEnd[m]; j++)
      length += Math.hypot(points[3 * j] - points[3 * j - 3], points[3 * j + 1] - points[3 * j - 2], points[3 * j + 2] - points[3 * j - 1]);
    moveLength[m] = length;
  }
  const shortMoves = [];
  for (let m = 0; m < moveCount; m++) if (moveLength[m] < size / 50) shortMoves.push(m);
  shortMoves.sort((a, b) => moveLength[a] - moveLength[b]);
  const dots = new THREE.Points(new THREE.BufferGeometry(),
    new THREE.PointsMaterial({ size: 5, sizeAttenuation: false, vertexColors: THREE.VertexColors }));
  dots.renderOrder = 4;
  scene.add(dots);
  const asDot = (m, perUnit) => moveLength[m] * perUnit < DOT_PX;
  function updateDots(perUnit) {
    const place = [], tint = [], c = new THREE.Color();
    let count = 0;
    for (const m of shortMoves) {
      if (!asDot(m, perUnit)) break;
      if (m >= shown || !passes(m)) continue;
      const j = moveEnd[m];
      if (colourMode === 'kind' || (colourMode === 'height' && kindOf(m) === RAPID)) c.setHex(KINDS[countedKind(m)].colour);
      else if (kindOf(m) === RAPID) colourOfMove(m, c);
      else c.setRGB(colours.array[3 * j], colours.array[3 * j + 1], colours.array[3 * j + 2]);
      place.push(points[3 * j], points[3 * j + 1], points[3 * j + 2]);
      tint.push(c.r, c.g, c.b);
      count++;
    }
    dots.geometry.dispose();
    dots.geometry = pointGeometry(place);
    dots.geometry.setAttribute('color', new THREE.BufferAttribute(new Float32Array(tint), 3));
    drawn.dots = count;
  }

  // Where the path starts and ends: a black ring and a black square.
  const ends = [];
  for (const [m, shape] of [[0, 'start'], [moveCount - 1, 'end']]) {
    let i = m;
    while (i >= 0 && i < moveCount && kindOf(i) === SKIPPED) i += shape === 'start' ? 1 : -1;
    if (i < 0 || i >= moveCount) continue;
    const j = 3 * moveEnd[i];
    const object = new THREE.Points(pointGeometry([points[j], points[j + 1], points[j + 2]]),
      new THREE.PointsMaterial({ color: shape === 'start' ? 0x00a000 : 0x000000, size: 11, sizeAttenuation: false }));
    object.renderOrder = 5;
    scene.add(object);
    ends.push(object);
  }

  // pofcheck's findings, each where the path was when its line was read.
  const lineRuns = job.check.lineRuns.map((r) => r.lines);
  const lineOfDelivery = (d) => {
    let lo = 0, hi = lineRuns.length;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (lineRuns[mid][0] <= d) lo = mid + 1; else hi = mid; }
    const run = lineRuns[lo - 1];
    if (!run || d >= run[0] + run[2]) return null;
    return { file: run[3], line: run[1] + (d - run[0]) };
  };
  const moveAtDelivery = (d) => {  // the last move delivered at or before `d`
    let lo = 0, hi = moveCount;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (delivery[mid] <= d) lo = mid + 1; else hi = mid; }
    return lo - 1;
  };
  const findingMoves = job.check.findings.map((f) => {
    let last = -1;
    for (const [first, line, count, file] of lineRuns)
      if (file === f.file && line <= f.line) last = first + Math.min(count - 1, f.line - line);
    return last < 0 ? -1 : moveAtDelivery(last);
  });
  const findingPoints = [];
  findingMoves.forEach((m) => {
    if (m < 0 || kindOf(m) === SKIPPED) return;
    const j = 3 * moveEnd[m];
    findingPoints.push(points[j], points[j + 1], points[j + 2]);
  });
  const findingMarks = new THREE.Points(pointGeometry(findingPoints),
    new THREE.PointsMaterial({ color: FINDING_COLOUR, size: 12, sizeAttenuation: false }));
  findingMarks.renderOrder = 6;
  scene.add(findingMarks);
  drawn.findings = findingPoints.length / 3;

  // The picked move, drawn over everything else.
  const onTop = (material) => Object.assign(material, { depthTest: false, depthWrite: false });
  const highlight = new THREE.Line(new THREE.BufferGeometry(), onTop(new THREE.LineBasicMaterial({ color: PICK_COLOUR })));
  const highlightEnd = new THREE.Points(new THREE.BufferGeometry(),
    onTop(new THREE.PointsMaterial({ color: PICK_COLOUR, size: 9, sizeAttenuation: false })));
  highlight.renderOrder = highlightEnd.renderOrder = 10;
  // The tool at the current move, along its axis.
  const tool = new THREE.Mesh(new THREE.CylinderGeometry(1, 1, 1, 16),
    new THREE.MeshBasicMaterial({ color: 0x7f8c8d, transparent: true, opacity: 0.55 }));
  tool.visible = false;
  scene.add(highlight, highlightEnd, tool);

  // The origin's axes, faint so that they do not pass for moves.
  const origin = new THREE.AxesHelper(niceLength(size / 6));
  origin.material.transparent = true;
  origin.material.opacity = 0.35;
  scene.add(origin);

  // ---- Camera and controls -------------------------------------------------
  const view = $('view');
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xffffff);
  renderer.autoClear = false;
  view.appendChild(renderer.domElement);
  const canvas = renderer.domElement;

  const ortho = new THREE.OrthographicCamera(-1, 1, 1, -1, -1, 1);
  const perspective = new THREE.PerspectiveCamera(35, 1, 1, 2);
  let camera = ortho, controls = null, viewName = 'iso';
  const VIEWS = {
    top: { dir: [0, 0, 1], up: [0, 1, 0] },
    front: { dir: [0, 1, 0], up: [1, 0, 0] },
    side: { dir: [1, 0, 0], up: [0, 0, 1] },
    iso: { dir: [1, -1, 1], up: [0, 0, 1] },
  };

  function makeControls(target) {
    if (controls) controls.dispose();
    controls = new THREE.OrbitControls(camera, canvas);
    controls.enableZoom = false; // the wheel zooms to the cursor, below
    controls.enableKeys = false;
    controls.screenSpacePanning = true;
    controls.target.copy(target);
    controls.addEventListener('change', render);
    controls.update();
  }

  // Looks along a preset direction and scales so that everything drawn fits.
  function setView(name) {
    viewName = name;
    const v = VIEWS[name];
    const dir = new THREE.Vector3(...v.dir).normalize();
    const up = new THREE.Vector3(...v.up);
    const right = new THREE.Vector3().crossVectors(up, dir).normalize();
    const screenUp = new THREE.Vector3().crossVectors(dir, right);
    let w = 0, h = 0;
    const centre = bounds.getCenter(new THREE.Vector3());
    for (let i = 0; i < 8; i++) {
      const corner = new THREE.Vector3(i & 1 ? bounds.max.x : bounds.min.x,
        i & 2 ? bounds.max.y : bounds.min.y, i & 4 ? bounds.max.z : bounds.min.z).sub(centre);
      w = Math.max(w, Math.abs(corner.dot(right)) * 2);
      h = Math.max(h, Math.abs(corner.dot(screenUp)) * 2);
    }
    const width = view.clientWidth, height = view.clientHeight;
    const zoom = 0.88 * Math.min(width / Math.max(w, 1e-9), height / Math.max(h, 1e-9));
    // The perspective camera stands where it shows the target at the same scale.
    const distance = height / (2 * Math.tan((perspective.fov * Math.PI) / 360) * zoom);
    for (const c of [ortho, perspective]) {
      c.up.copy(up);
      c.position.copy(centre).addScaledVector(dir, distance);
      c.lookAt(centre);
    }
    ortho.zoom = zoom;
    makeControls(centre);
    resize();
  }

  function setPerspective(on) {
    const from = camera;
    camera = on ? perspective : ortho;
    if (from !== camera) {
      const target = controls.target.clone();
      const offset = from.position.clone().sub(target);
      const tanHalf = Math.tan((perspective.fov * Math.PI) / 360);
      // Keep the scale at the target: the perspective distance matches the zoom.
      if (on) offset.setLength(canvas.clientHeight / (2 * tanHalf * ortho.zoom));
      else ortho.zoom = canvas.clientHeight / (2 * tanHalf * offset.length());
      camera.up.copy(from.up);
      camera.position.copy(target).add(offset);
      makeControls(target);
    }
    resize();
  }

  function resize() {
    const width = view.clientWidth, height = view.clientHeight;
    renderer.setSize(width, height);
    ortho.left = -width / 2; ortho.right = width / 2;
    ortho.top = height / 2; ortho.bottom = -height / 2;
    ortho.near = -size * 100; ortho.far = size * 100;
    perspective.aspect = width / Math.max(height, 1);
    perspective.near = size / 1000; perspective.far = size * 100;
    ortho.updateProjectionMatrix();
    perspective.updateProjectionMatrix();
    render();
  }

  // The point under the cursor in the plane through the target, facing the camera.
  function pointUnder(clientX, clientY) {
    const rect = canvas.getBoundingClientRect();
    const ndc = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1,
      1 - ((clientY - rect.top) / rect.height) * 2);
    const ray = new THREE.Raycaster();
    ray.setFromCamera(ndc, camera);
    const normal = camera.getWorldDirection(new THREE.Vector3());
    const plane = new THREE.Plane().setFromNormalAndCoplanarPoint(normal, controls.target);
    return ray.ray.intersectPlane(plane, new THREE.Vector3()) || controls.target.clone();
  }

  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    const factor = Math.exp(-e.deltaY * (e.deltaMode ? 0.05 : 0.002));
    const before = pointUnder(e.clientX, e.clientY);
    if (camera === ortho) {
      ortho.zoom *= factor;
      ortho.updateProjectionMatrix();
      const shift = before.sub(pointUnder(e.clientX, e.clientY));
      camera.position.add(shift);
      controls.target.add(shift);
    } else {
      const share = 1 - 1 / factor;
      camera.position.lerp(before, share);
      controls.target.lerp(before, share);
    }
    controls.update();
  }, { passive: false });

  // ---- Drawing -------------------------------------------------------------
  // One frame per change, drawn in the browser's next frame: however many
  // changes the set-up or an event makes, the scene is drawn once.
  const triad = makeTriad();
  let framePending = false, firstShown = null;
  drawn.draws = 0;
  function render() {
    if (!controls || framePending) return;
    framePending = true;
    requestAnimationFrame(drawFrame);
  }
  function drawFrame() {
    framePending = false;
    drawn.draws++;
    const perUnit = pixelsPerUnit();
    rapidDashed.dashSize = DASH_PX / perUnit;
    rapidDashed.gapSize = GAP_PX / perUnit;
    updateDots(perUnit);
    renderer.setViewport(0, 0, canvas.clientWidth, canvas.clientHeight);
    renderer.clear();
    renderer.render(scene, camera);
    // The axis triad in the lower left corner, turned as the view is.
    triad.camera.position.set(0, 0, 0).addScaledVector(camera.getWorldDirection(new THREE.Vector3()), -3);
    triad.camera.quaternion.copy(camera.quaternion);
    renderer.setViewport(12, 12, 90, 90);
    renderer.clearDepth();
    renderer.render(triad.scene, triad.camera);
    showScale(perUnit);
    if (firstShown) {
      // Ready once the frame is on screen: the browser shows it before the next frame starts.
      const done = firstShown;
      firstShown = null;
      renderer.getContext().finish();
      requestAnimationFrame(done);
    }
  }

  function pixelsPerUnit() {
    const tanHalf = Math.tan((perspective.fov * Math.PI) / 360);
    return camera === ortho ? ortho.zoom
      : canvas.clientHeight / (2 * tanHalf * camera.position.distanceTo(controls.target));
  }

  function showScale(perUnit) {
    const length = niceLength(120 / perUnit);
    $('scale-bar').style.width = `${length * perUnit}px`;
    $('scale-text').textContent = fmt(length) + (camera === ortho ? '' : ' at the pivot');
  }

  // Colours by kind (each kind its own), by height, by cycle or by workplane.
  const PALETTE = [0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x17becf, 0xbcbd22];
  let colourMode = 'kind';
  function colourOfMove(m, c) {
    if (colourMode === 'cycle') return c.setHex(moveCycle[m] < 0 ? 0x999999 : PALETTE[moveCycle[m] % PALETTE.length]);
    if (colourMode === 'workplane') return c.setHex(movePlane[m] === 18 ? 0xd62728 : 0x1f77b4);
    return c.setHex(0);
  }
  function setColouring(mode) {
    colourMode = mode;
    const c = new THREE.Color();
    if (mode === 'height') {
      const [low, high] = job.heightRange;
      for (let j = 0; j < vertexCount; j++) {
        const t = Math.min(1, Math.max(0, (points[3 * j + 2] - low) / Math.max(high - low, 1e-12)));
        c.setHSL((1 - t) * 0.66, 0.85, 0.45);
        colours.setXYZ(j, c.r, c.g, c.b);
      }
    } else if (mode !== 'kind') {
      for (let m = 0; m < moveCount; m++) {
        if (kindOf(m) === SKIPPED) continue;
        colourOfMove(m, c);
        for (let j = firstVertex(m); j <= moveEnd[m]; j++) colours.setXYZ(j, c.r, c.g, c.b);
      }
      for (let r = 0; r < rapidUsed; r++) {
        colourOfMove(moveOfVertex(rapidEnds[r]), c);
        rapidColours.setXYZ(2 * r, c.r, c.g, c.b);
        rapidColours.setXYZ(2 * r + 1, c.r, c.g, c.b);
      }
      rapidColours.needsUpdate = true;
    }
    colours.needsUpdate = true;
    const byVertex = mode !== 'kind';
    for (const [k, line] of lines.entries()) {
      line.material.vertexColors = byVertex ? THREE.VertexColors : THREE.NoColors;
      line.material.color.set(byVertex ? 0xffffff : KINDS[k + 1].colour);
      line.material.needsUpdate = true;
    }
    // Rapids stay grey by height: their heights are the retracts'.
    for (const material of [rapidDashed, rapidSolid]) {
      const byMove = mode === 'cycle' || mode === 'workplane';
      material.vertexColors = byMove ? THREE.VertexColors : THREE.NoColors;
      material.color.set(byMove ? 0xffffff : KINDS[RAPID].colour);
      material.needsUpdate = true;
    }
    showLegend(mode);
    render();
  }

  // ---- Stepping and picking -----------------------------------------------
  const slider = $('step');
  slider.max = String(moveCount);
  slider.value = String(moveCount);
  let shown = moveCount, current = -1, playing = null;

  // How many index pairs end at or before vertex `limit`.
  function pairsUpTo(index, limit, count) {
    let lo = 0, hi = count / 2;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (index[2 * mid + 1] <= limit) lo = mid + 1; else hi = mid;
    }
    return lo * 2;
  }
  const countBelow = (list, n) => {
    let lo = 0, hi = list.length;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (list[mid] < n) lo = mid + 1; else hi = mid; }
    return lo;
  };

  function showUpTo(n, mark) {
    shown = n;
    slider.value = String(n);
    const limit = n > 0 ? moveEnd[n - 1] : -1;
    lines.forEach((line, k) => line.geometry.setDrawRange(0, pairsUpTo(indexOf[k], limit, used[k])));
    rapidGeometry.setDrawRange(0, 2 * countBelow(rapidEnds.subarray(0, rapidUsed), limit + 1));
    markers.geometry.setDrawRange(0, countBelow(markerMoves, n));
    glyphs.geometry.setDrawRange(0, 2 * countBelow(glyphMoves, n));
    arrows.geometry.setDrawRange(0, 4 * countBelow(arrowMoves, n));
    $('step-text').textContent = n > 0 ? `move ${n} of ${moveCount}, delivery ${delivery[n - 1]}` : `0 of ${moveCount}`;
    if (mark) select(n - 1);
    render();
  }

  function select(m) {
    current = m;
    showTrace(m);
    if (m < 0 || kindOf(m) === SKIPPED) {
      highlight.visible = highlightEnd.visible = tool.visible = false;
      $('picked').innerHTML = m < 0 ? 'none' : describe(m);
      render();
      return;
    }
    const first = firstVertex(m);
    highlight.geometry.setAttribute('position',
      new THREE.BufferAttribute(points.slice(3 * (kindOf(m) === START ? moveEnd[m] : first), 3 * moveEnd[m] + 3), 3));
    highlightEnd.geometry.setAttribute('position',
      new THREE.BufferAttribute(points.slice(3 * moveEnd[m], 3 * moveEnd[m] + 3), 3));
    highlight.visible = highlightEnd.visible = true;
    placeTool(m);
    $('picked').innerHTML = describe(m);
    render();
  }

  // A cylinder from the tip up the tool axis, a tool's width and length to scale with the job.
  function placeTool(m) {
    const [u, v, w] = axisOfMove(m);
    const axis = new THREE.Vector3(u, v, w);
    if (!(axis.length() > 0)) { tool.visible = false; return; }
    axis.normalize();
    const length = AXIS_SHARE * size * 1.5, radius = size / 250, j = 3 * moveEnd[m];
    tool.scale.set(radius, length, radius);
    tool.quaternion.setFromUnitVectors(new THREE.Vector3(0, 1, 0), axis);
    tool.position.set(points[j], points[j + 1], points[j + 2]).addScaledVector(axis, length / 2);
    tool.visible = true;
  }

  // The values a move delivered, as pofhost prints them.
  const AXES = ['x', 'y', 'z', 'u', 'v', 'w'];
  function moveLine(m) {
    const code = codeOf(m), at = valueAt[m];
    let line = `fn${'ABC'[given[m] >> 6]} key=31 code=${code} `;
    if (isArcCode(code)) {
      const dir = values[at];
      const third = job.earlier ? 2 : 3;
      line += `arc dir=${dir === 1 ? '-' : dir === 0 ? '+' : '?' + dir} target=(${[1, 2, 3].map((i) => exact(values[at + i])).join(', ')})` +
        ` third=(${[4, 5, 6].slice(0, third).map((i) => exact(values[at + i])).join(', ')})`;
      return line;
    }
    line += code === 3107 || code === 3109 ? 'rapid' : 'feed';
    let i = at;
    for (let bit = 0; bit < 6; bit++) if (given[m] & (1 << bit)) line += ` ${AXES[bit]}=${exact(values[i++])}`;
    return line;
  }
  // A coordinate or tool axis component of the move as the panel shows it:
  // the delivered double (a skipped move's own too), the one an earlier move
  // left with "(kept)", "not sent" when no move has given it, and for the
  // tool axis "not known" after an arc, whose record may move the axis but
  // whose delivery does not carry it.
  function shownValue(m, bit) {
    for (let i = m; i >= 0; i--) {
      if (kindOf(i) === SKIPPED && i !== m) continue;
      if (isArcCode(codeOf(i))) {
        if (bit < 3) return exact(values[valueAt[i] + 1 + bit]) + (i === m ? '' : ' (kept)');
        return 'not known (an arc came since)';
      }
      if (given[i] & (1 << bit)) {
        let at = valueAt[i];
        for (let b = 0; b < bit; b++) if (given[i] & (1 << b)) at++;
        return exact(values[at]) + (i === m ? '' : ' (kept)');
      }
    }
    return 'not sent';
  }
  const sourceOf = (m) => lineOfDelivery(delivery[m]);
  const sourceText = (m) => {
    const source = sourceOf(m);
    if (source) return `${source.file}:${source.line}`;
    if (!job.check.given) return 'not known: write pofcheck --format json --lines -Sjob (the same cycle arguments) for this run and pass it with --check';
    return job.check.error ? `not known: the check file cannot be used: ${job.check.error}` : 'not known: pofcheck saw no POF line for it';
  };

  function describe(m) {
    const code = codeOf(m);
    const kind = kindOf(m);
    const row = (...v) => rows.push(v);
    const rows = [['move', `${m + 1} of ${moveCount}`], ['delivery', String(delivery[m])], ['source', sourceText(m)]];
    row('code', `${code} ${kind === SKIPPED ? 'not drawn: NaN or infinite values'
      : kind === START && isArcCode(code) ? 'arc, start not known: only its target is marked'
        : KINDS[countedKind(m)].label.replace(' (dashed)', '')}`);
    const at = valueAt[m];
    if (isArcCode(code)) {
      const k = arcAt[m], info = arcInfo[k], plane = info & 8 ? 'ZX' : 'XY';
      row('target', [1, 2, 3].map((i) => exact(values[at + i])).join(' '));
      row('direction', values[at] === 1 ? '- (clockwise)' : values[at] === 0 ? '+ (counter-clockwise)' : `? (${exact(values[at])})`);
      row('third (centre)', [4, 5].map((i) => exact(values[at + i])).join(' ') + ' ' + (job.earlier ? 'z not sent' : exact(values[at + 6])));
      row('workplane', `${plane} (${info & 8 ? 18 : 17}), as the transformation records before it made active`);
      row('rule', RULES[info & 7] + (job.earlier
        ? (code === 3122 ? '; 3122: the z target was given (this revision has no workplane rule)' : '; 3121: no z target given')
        : (code === 3122 ? `; 3122: the normal ${plane === 'ZX' ? 'y' : 'z'} was given` : `; 3121: the normal ${plane === 'ZX' ? 'y' : 'z'} was not given`)));
      if (info & 16) row('centre z', `not sent; placed at ${exact(values[at + 6])}, the z where start and end are equally far from the centre`);
      else if (job.earlier && plane === 'XY') row('centre z', 'not sent; not needed: z is normal to the XY workplane');
    } else {
      row('target', [0, 1, 2].map((b) => shownValue(m, b)).join(' '));
      if (axisAt[m] >= 0) row('tool axis', [3, 4, 5].map((b) => shownValue(m, b)).join(' '));
      if (kind !== START && kind !== SKIPPED && [0, 1, 2].some((b) => shownValue(m - 1, b) === 'not sent' && given[m] & (1 << b)))
        row('length', 'not known: it starts from a coordinate no move had sent');
    }
    if (kind === START) row('start', 'not known: no record says where the tool was before the first move; the path begins at its target');
    for (const [label, list] of [['last text', job.texts], ['last event', job.events], ['last cycle', job.cycles]]) {
      const value = lastMarker(list, m);
      if (value !== null) row(label, `"${value}"`);
    }
    return '<table>' + rows.map(([a, b]) => `<tr><td>${escape(a)}</td><td>${escape(b)}</td></tr>`).join('') + '</table>';
  }

  // The deliveries around the current move, as pofhost prints them, each
  // with its file line; clicking a move's line selects that move.
  const otherLines = job.lines;  // [delivery, line], in delivery order
  function showTrace(m) {
    const centre = m >= 0 ? delivery[m] : 1;
    const from = Math.max(1, centre - TRACE_AROUND), to = centre + TRACE_AROUND;
    const rows = [];
    let i = countBelow(otherLines.map((l) => l[0]), from);
    let k = Math.max(0, moveAtDelivery(from - 1) + 1);
    while (true) {
      const nextOther = i < otherLines.length && otherLines[i][0] <= to ? otherLines[i][0] : Infinity;
      const nextMove = k < moveCount && delivery[k] <= to ? delivery[k] : Infinity;
      if (nextOther === Infinity && nextMove === Infinity) break;
      const source = lineOfDelivery(Math.min(nextOther, nextMove));
      const where = source ? `${source.line}`.padStart(6) + '  ' : '';
      if (nextMove < nextOther) {
        rows.push(`<div class="move${k === m ? ' current' : ''}" data-move="${k}">${escape(where + moveLine(k))}</div>`);
        k++;
      } else {
        rows.push(`<div>${escape(where + otherLines[i][1].replace(/\n$/, ''))}</div>`);
        i++;
      }
    }
    $('trace').innerHTML = rows.join('');
    const source = m >= 0 ? sourceOf(m) : null;
    $('trace-source').textContent = source ? `from ${source.file}` : '';
  }
  $('trace').addEventListener('click', (e) => {
    const line = e.target.closest('[data-move]');
    if (line) showUpTo(Number(line.dataset.move) + 1, true);
  });

  function showFindings() {
    const list = job.check.findings;
    if (!job.check.given) { $('findings').textContent = 'pofcheck was not asked (--check)'; return; }
    if (job.check.error) { $('findings').textContent = `not shown: ${job.check.error}`; return; }
    if (list.length === 0) { $('findings').textContent = 'pofcheck found nothing'; return; }
    $('findings').innerHTML = list.map((f, i) =>
      `<div data-finding="${i}"><span style="color:#${FINDING_COLOUR.toString(16)}">\u25cf</span> ` +
      `${escape(`${f.file}:${f.line || '?'}:${f.column ? f.column + ':' : ''} ${f.severity}: ${f.message}`)}` +
      `${findingMoves[i] < 0 ? ' (before the first move)' : ''}</div>`).join('');
  }
  $('findings').addEventListener('click', (e) => {
    const item = e.target.closest('[data-finding]');
    if (item && findingMoves[item.dataset.finding] >= 0) showUpTo(findingMoves[item.dataset.finding] + 1, true);
  });

  // The drawn segment nearest the click, if within a few pixels; every move counts.
  function pick(clientX, clientY) {
    const rect = canvas.getBoundingClientRect();
    const x0 = clientX - rect.left, y0 = clientY - rect.top;
    const w = rect.width / 2, h = rect.height / 2;
    const e = new THREE.Matrix4().multiplyMatrices(camera.projectionMatrix, camera.matrixWorldInverse).elements;
    const limit = shown > 0 ? moveEnd[shown - 1] : -1;
    let best = -1, bestDistance = 36, px = 0, py = 0;
    const perUnit = pixelsPerUnit();
    for (let j = 0; j <= limit; j++) {
      const X = points[3 * j], Y = points[3 * j + 1], Z = points[3 * j + 2];
      const q = e[3] * X + e[7] * Y + e[11] * Z + e[15];
      const sx = w * (1 + (e[0] * X + e[4] * Y + e[8] * Z + e[12]) / q);
      const sy = h * (1 - (e[1] * X + e[5] * Y + e[9] * Z + e[13]) / q);
      if (j > 0 && q > 0 && passes(moveOfVertex(j))) {
        const dx = sx - px, dy = sy - py, length2 = dx * dx + dy * dy;
        const t = length2 > 0 ? Math.min(1, Math.max(0, ((x0 - px) * dx + (y0 - py) * dy) / length2)) : 0;
        const ex = px + t * dx - x0, ey = py + t * dy - y0;
        // A dot sits on its neighbours' ends: near it, it is what was aimed at.
        const score = ex * ex + ey * ey - (asDot(moveOfVertex(j), perUnit) && ex * ex + ey * ey < 36 ? 36 : 0);
        if (score < bestDistance) { bestDistance = score; best = j; }
      }
      px = sx; py = sy;
    }
    if (best > 0) select(moveOfVertex(best));
  }

  let downAt = null;
  canvas.addEventListener('mousedown', (e) => { downAt = [e.clientX, e.clientY]; });
  canvas.addEventListener('click', (e) => {
    if (downAt && Math.hypot(e.clientX - downAt[0], e.clientY - downAt[1]) > 4) return;
    pick(e.clientX, e.clientY);
  });

  // Plays at the chosen number of moves per second, or the whole job in ten seconds.
  function play() {
    if (playing) { cancelAnimationFrame(playing); playing = null; $('play').textContent = 'Play'; return; }
    if (shown >= moveCount) shown = 0;
    $('play').textContent = 'Pause';
    let last = performance.now(), owed = 0;
    const tick = (now) => {
      const speed = $('speed').value === 'job' ? moveCount / 10 : Number($('speed').value);
      owed += ((now - last) / 1000) * speed;
      last = now;
      const step = Math.floor(owed);
      owed -= step;
      if (step > 0) showUpTo(Math.min(moveCount, shown + step), true);
      playing = shown < moveCount ? requestAnimationFrame(tick) : null;
      if (!playing) $('play').textContent = 'Play';
    };
    playing = requestAnimationFrame(tick);
  }

  function applyFilters() {
    filter.kinds = [$('show-rapid').checked, $('show-feed').checked, $('show-arc').checked, $('show-arc').checked, true, true];
    const isolate = $('isolate').value;
    filter.isolate = isolate ? [isolate.split(':')[0], Number(isolate.split(':')[1])] : null;
    updateIndexes();
    buildMarks();
    markers.visible = $('show-chord').checked;
    glyphs.visible = $('tool-axis').checked;
    arrows.visible = $('arrows').checked;
    rapidLines.material = $('dashed').checked ? rapidDashed : rapidSolid;
    if (colourMode !== 'kind') setColouring(colourMode);
    showUpTo(shown, false);
  }
  {
    const options = [];
    job.cycles.forEach(([, title], i) => options.push([`cycle:${i}`, `cycle ${i + 1}: ${title}`]));
    if (workplaneChanges.length > 0) options.push(['workplane:17', 'workplane XY'], ['workplane:18', 'workplane ZX']);
    $('isolate').innerHTML += options.map(([v, t]) => `<option value="${v}">${escape(t)}</option>`).join('');
  }

  slider.addEventListener('input', () => showUpTo(Number(slider.value), true));
  $('play').addEventListener('click', play);
  $('fit').addEventListener('click', () => setView(viewName));
  for (const button of document.querySelectorAll('[data-view]'))
    button.addEventListener('click', () => setView(button.dataset.view));
  $('perspective').addEventListener('change', (e) => setPerspective(e.target.checked));
  $('colour-by').addEventListener('change', (e) => setColouring(e.target.value));
  for (const id of ['show-rapid', 'show-feed', 'show-arc', 'show-chord', 'tool-axis', 'arrows', 'dashed', 'isolate'])
    $(id).addEventListener('change', applyFilters);
  const toggle = (id) => { $(id).checked = !$(id).checked; $(id).dispatchEvent(new Event('change')); };
  const nextColouring = () => {
    const select = $('colour-by');
    select.selectedIndex = (select.selectedIndex + 1) % select.options.length;
    select.dispatchEvent(new Event('change'));
  };
  const KEYS = {
    1: () => setView('top'), 2: () => setView('front'), 3: () => setView('side'), 4: () => setView('iso'),
    f: () => setView(viewName), p: () => toggle('perspective'), c: nextColouring,
    a: () => toggle('tool-axis'), d: () => toggle('dashed'), ' ': play,
    ArrowLeft: () => showUpTo(Math.max(0, shown - 1), true),
    ArrowRight: () => showUpTo(Math.min(moveCount, shown + 1), true),
  };
  window.addEventListener('keydown', (e) => {
    if (e.target.tagName === 'INPUT' && e.target.type === 'range' && e.key.startsWith('Arrow')) return;
    if (e.target.tagName === 'SELECT') return;
    const action = KEYS[e.key];
    if (action && !e.ctrlKey && !e.metaKey && !e.altKey) { e.preventDefault(); action(); }
  });
  window.addEventListener('resize', resize);

  // For scripts driving the page (the tests): where a move's middle point is
  // on screen, and what the shown frame holds there.
  window.pofViewer = {
    screenPointOf(m) {
      const first = kindOf(m) === START ? moveEnd[m] : firstVertex(m), j = Math.round((first + moveEnd[m]) / 2);
      const p = new THREE.Vector3(points[3 * j], points[3 * j + 1], points[3 * j + 2]).project(camera);
      const rect = canvas.getBoundingClientRect();
      return [rect.left + ((p.x + 1) / 2) * rect.width, rect.top + ((1 - p.y) / 2) * rect.height];
    },
    select(m) { select(m); },
    // The colours of the shown frame around a page point, from the canvas itself.
    pixelsAround(x, y, radius) {
      const rect = canvas.getBoundingClientRect(), scale = canvas.width / rect.width;
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const g = copy.getContext('2d');
      g.drawImage(canvas, 0, 0);
      const r = Math.ceil(radius * scale);
      const data = g.getImageData(Math.round((x - rect.left) * scale) - r, Math.round((y - rect.top) * scale) - r, 2 * r + 1, 2 * r + 1).data;
      const out = [];
      for (let i = 0; i < data.length; i += 4) out.push((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
      return out;
    },
    afterFrame(callback) { requestAnimationFrame(() => requestAnimationFrame(callback)); },
  };

  showFindings();
  setView('iso');
  showUpTo(moveCount, false);
  showTrace(-1);
  firstShown = () => finish('ready');
  render();

  // ---- Helpers -------------------------------------------------------------
  function finish(state) {
    // ms: from the start of loading to the first frame on screen, for the benchmark.
    Object.assign(ready.dataset, drawn, { state, error: errors.join('; '), ms: Math.round(performance.now()) });
  }

  function pointGeometry(list) {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(list), 3));
    return geometry;
  }

  function niceLength(span) {
    if (!(span > 0) || !isFinite(span)) return 1;
    const power = Math.pow(10, Math.floor(Math.log10(span)));
    for (const step of [5, 2, 1]) if (step * power <= span) return step * power;
    return power;
  }

  function makeTriad() {
    const triadScene = new THREE.Scene();
    const label = (name, colour, at) => {
      const c = document.createElement('canvas');
      c.width = c.height = 32;
      const g = c.getContext('2d');
      g.font = 'bold 24px sans-serif';
      g.fillStyle = colour;
      g.textAlign = 'center';
      g.fillText(name, 16, 24);
      const sprite = new THREE.Sprite(new THREE.SpriteMaterial({ map: new THREE.CanvasTexture(c) }));
      sprite.position.copy(at).multiplyScalar(1.35);
      sprite.scale.set(0.5, 0.5, 1);
      return sprite;
    };
    [['x', '#d62728', [1, 0, 0]], ['y', '#2ca02c', [0, 1, 0]], ['z', '#1f77b4', [0, 0, 1]]].forEach(([n, c, d]) => {
      const dir = new THREE.Vector3(...d);
      triadScene.add(new THREE.ArrowHelper(dir, new THREE.Vector3(), 1, c, 0.25, 0.12), label(n, c, dir));
    });
    const triadCamera = new THREE.OrthographicCamera(-1.7, 1.7, 1.7, -1.7, 0.1, 10);
    return { scene: triadScene, camera: triadCamera };
  }

  function showLegend(mode) {
    const swatch = (colour, dashed) =>
      `<span class="swatch" style="border-top: 2px ${dashed ? 'dashed' : 'solid'} #${colour.toString(16).padStart(6, '0')}"></span>`;
    const dot = (colour) => `<span style="color:#${colour.toString(16).padStart(6, '0')}">\u25cf</span> `;
    let html;
    if (mode === 'height') {
      html = `${swatch(KINDS[RAPID].colour, true)}rapid (grey at every height)<br>` +
        `<span class="bar"></span> height ${fmt(job.heightRange[0])} to ${fmt(job.heightRange[1])}` +
        '<br>(feed moves, 2nd to 98th percentile)';
    } else if (mode === 'cycle') {
      html = job.cycles.map(([, title], i) => `${swatch(PALETTE[i % PALETTE.length])}cycle ${i + 1}: ${escape(title)}`).join('<br>') ||
        'no cycle records';
      if (job.cycles.length > 0 && job.cycles[0][0] > 0) html += `<br>${swatch(0x999999)}before the first cycle`;
    } else if (mode === 'workplane') {
      html = `${swatch(0x1f77b4)}workplane XY<br>${swatch(0xd62728)}workplane ZX`;
    } else {
      html = KINDS.map((k, i) => `${swatch(k.colour, i === RAPID)}${k.label}`).join('<br>');
    }
    html += `<br>${swatch(AXIS_COLOUR)}tool axis<br>${dot(0x00a000)}start (first target), ${dot(0)}end` +
      `<br>${dot(FINDING_COLOUR)}pofcheck finding<br>x red, y green, z blue`;
    $('legend').innerHTML = html;
  }

  // A list as its count, opened on a click.
  function listed(items) {
    if (items.length === 0) return 'none';
    return { html: `<details><summary>${items.length}</summary>${items.map((i) => escape(String(i))).join(', ')}</details>` };
  }

  function showSummary(s) {
    const rows = [
      ['deliveries', s.deliveries],
      ...s.byKeyAndCode.map((d) => [`\u2003key ${d.key}, code ${d.code === null ? 'none' : d.code}`, d.count]),
      ['moves', `${s.moves.total}: rapid ${s.moves.rapid}, feed ${s.moves.feed}, arc ${s.moves.arc} ` +
        `(circular ${s.moves.circular}, as chords ${s.moves.chord}` +
        `${s.moves.startNotKnown ? `, start not known ${s.moves.startNotKnown}` : ''})`],
      ['with tool axis', s.moves.withToolAxis],
      ['not finite (skipped)', s.moves.nonFinite],
      ['extent', s.extent ? ['x', 'y', 'z'].map((a) => `${a} ${s.extent[a][0]} .. ${s.extent[a][1]}`).join(', ') : 'none'],
      ['path length', `rapid ${s.length.rapid.toFixed(3)}, feed ${s.length.feed.toFixed(3)}` +
        (s.length.notKnown ? `; not known for ${s.length.notKnown} moves that start from a coordinate no move had sent` : '')],
      ['tool records', `${s.toolRecords}, methods ${s.methods.join(', ') || 'none'}`],
      ['texts', s.texts],
      ['events', Object.entries(s.events).map(([n, c]) => `${n} ${c}`).join(', ') || 'none'],
      ['workplanes', listed(s.workplanes)],
      ['cycles', listed(s.cycles)],
      ['result', s.result],
    ];
    $('summary').innerHTML = '<table>' + rows.map(([a, b]) => `<tr><td>${escape(String(a))}</td><td>${
      b && b.html ? b.html : escape(String(b))}</td></tr>`).join('') + '</table>';
    document.title = `pofhost toolpath: ${job.title}`;
  }
})();
