// Turns the maps of neighbour searches in three dimensions, zooms them and
// moves them.  The program draws each map whole, as the stars projected on
// one plane, with their names placed apart; this script moves the dots
// when a visitor drags the map (a turn; with Shift, or with two fingers, a
// move), pinches it or turns the wheel with Ctrl (a zoom), uses the keys on
// it or the buttons that it adds below it, and then names the stars again
// as the program does: in the order of their ranks (data-rank), up to
// data-names of them, each where its name overlaps no other text and no
// dot (or, where no place is clear, the fewest faint dots), the others'
// names shown while their dots are focused or pointed at.
// Each dot's <a> carries the star's galactic point (data-x, data-y,
// data-z, light-years); the <svg> carries the centre, the scale (units per
// light-year), the picture's point of the centre, the height of the plane
// above the legend and the axes drawn to the right and upwards.  The links
// keep their order, nearest first, which is the keyboard's.  A sky chart
// (data-plane="sky") is left as it is.
"use strict";

(() => {
  const ns = "http://www.w3.org/2000/svg";
  const axisLetters = ["X", "Y", "Z"];

  function unit(letter) {
    const v = [0, 0, 0];
    v[axisLetters.indexOf(letter)] = 1;
    return v;
  }
  const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
  const combine = (a, ca, b, cb) => a.map((v, i) => ca * v + cb * b[i]);
  const normal = (a) => {
    const length = Math.hypot(...a);
    return a.map((v) => v / length);
  };

  // Boxes: {left, top, right, bottom} in the picture's units.
  const overlaps = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
  const boxOf = (r) => ({ left: r.x, top: r.y, right: r.x + r.width, bottom: r.y + r.height });

  // 1, 2 or 5 times a power of ten, at most "limit": the program's step
  // between the rings, which the scale bar shows.
  function niceLength(limit) {
    const power = 10 ** Math.floor(Math.log10(limit));
    for (const factor of [5, 2, 1]) {
      if (factor * power <= limit) return Number((factor * power).toPrecision(12));
    }
    return power;
  }

  // The zoom's bounds, and its step for a button or a key.
  const leastZoom = 0.5;
  const mostZoom = 32;
  const zoomStep = Math.SQRT2;
  // Half a stroke of a name's outline, kept clear around it.
  const outline = 1.5;

  function setUp(svg) {
    if (svg.dataset.turnable === "yes") return;
    svg.dataset.turnable = "yes";
    const centre = svg.dataset.centre.split(" ").map(Number);
    const [originX, originY] = svg.dataset.origin.split(" ").map(Number);
    const scale = Number(svg.dataset.scale);
    const width = svg.viewBox.baseVal.width;
    const height = Number(svg.dataset.height);
    // The radius of the circle of the search (or of the stars' space) at
    // rest, within which the rings are drawn.
    const circleUnits = Number(svg.dataset.circle);
    const maxNames = Number(svg.dataset.names);
    const faintDot = Number(svg.dataset.faint);
    const group = svg.querySelector("g.stars");

    // Nothing of the plane is drawn over the legend below it once the map
    // is zoomed or moved.
    const clip = document.createElementNS(ns, "clipPath");
    clip.id = `neighbour-map-plane-${document.querySelectorAll("svg.neighbour-map[data-turnable]").length}`;
    const clipBox = document.createElementNS(ns, "rect");
    for (const [k, v] of [["x", 0], ["y", 0], ["width", width], ["height", height]]) clipBox.setAttribute(k, v);
    clip.appendChild(clipBox);
    svg.querySelector("title").after(clip);
    const clipped = (element) => element.setAttribute("clip-path", `url(#${clip.id})`);
    clipped(group);

    // A name's extent, measured once: its length, and how far it reaches
    // above and below its baseline.
    const measure = (label) => {
      const box = label.getBBox();
      const y = Number(label.getAttribute("y"));
      return { length: label.getComputedTextLength(), ascent: y - box.y, descent: box.y + box.height - y };
    };
    const stars = Array.from(group.querySelectorAll("a[data-x]"), (a) => {
      const circle = a.querySelector("circle:not(.doubt)");
      const label = a.querySelector("text");
      return {
        a, circle, label, ...measure(label),
        doubt: a.querySelector("circle.doubt"),
        rank: Number(label.dataset.rank || 0),
        point: ["x", "y", "z"].map((k, i) => Number(a.dataset[k]) - centre[i]),
        r: Number(circle.getAttribute("r")),
        x: 0, y: 0, depth: 0, shown: true,
        place: -1,  // the place of its name last time, tried first
      };
    });
    const ranked = stars.filter((star) => star.rank > 0).sort((p, q) => p.rank - q.rank);
    // How far the stars reach from the centre, for their shading by depth.
    const extent = Math.max(1e-9, ...stars.map((star) => Math.hypot(...star.point)));

    // The rings at the scale bar's length and the circle of the search's
    // radius, each with its length beside it.
    const ringCircles = Array.from(svg.querySelectorAll("circle.line[data-ly]"));
    const ringTexts = Array.from(svg.querySelectorAll("text[data-ly]"));
    const radiusCircle = svg.querySelector("circle.radius");
    const radiusText = radiusCircle && ringTexts.find((t) => t.dataset.ly === radiusCircle.dataset.ly);
    const rings = ringCircles.map((circle) => ({
      circle, text: ringTexts.find((t) => t.dataset.ly === circle.dataset.ly),
    }));
    const ringTemplate = rings[0];
    for (const element of [...ringCircles, ...ringTexts, radiusCircle]) if (element) clipped(element);
    const scaleBar = svg.querySelector("g.scale");
    const scalePath = scaleBar.querySelector("path");
    const scaleText = scaleBar.querySelector("text");
    // The centre's cross and its name (when the program found room for
    // it), which is placed as a star's is, before theirs.
    const centreMark = svg.querySelector("g.centre");
    const centrePath = centreMark.querySelector("path");
    const centreLabel = centreMark.querySelector("text");
    const middle = {
      label: centreLabel, ...(centreLabel ? measure(centreLabel) : {}), r: 6, x: 0, y: 0, shown: true, place: -1,
    };

    const axes = svg.querySelector("g.axes");
    const axisOrigin = axes.dataset.origin.split(" ").map(Number);
    const axisLength = Number(axes.dataset.length);
    const axisParts = axisLetters.map((letter) => ({
      letter,
      path: axes.querySelector(`path[data-axis=${letter}]`),
      ring: axes.querySelector(`circle[data-axis=${letter}]`),
      text: axes.querySelector(`text[data-axis=${letter}]`),
    }));
    // An axis that points at the viewer is drawn as a ring; give every axis
    // a line (and a ring, hidden while it is seen at length).
    for (const part of axisParts) {
      if (!part.path) {
        part.path = document.createElementNS(ns, "path");
        part.path.setAttribute("class", "mark");
        axes.insertBefore(part.path, axes.firstChild);
      }
      if (!part.ring) {
        part.ring = document.createElementNS(ns, "circle");
        part.ring.setAttribute("class", "mark");
        part.ring.setAttribute("r", "3");
        part.ring.setAttribute("cx", axisOrigin[0]);
        part.ring.setAttribute("cy", axisOrigin[1]);
        part.ring.style.opacity = 0;
        axes.appendChild(part.ring);
      }
      const box = part.text.getBBox();
      part.width = box.width;
      part.ascent = Number(part.text.getAttribute("y")) - box.y;
      part.height = box.height;
    }

    const initial = { right: unit(svg.dataset.right), up: unit(svg.dataset.up) };
    let view = { right: initial.right, up: initial.up };
    let turned = false;
    // The zoom, and where the centre is drawn, relative to the origin.
    let zoom = 1;
    let shiftX = 0;
    let shiftY = 0;

    const inPlane = (box) => box.left >= 2 && box.right <= width - 2 && box.top >= 2 && box.bottom <= height;

    // The axes' letters at the ends of their lines, each moved out along
    // its line (or beside the ring) until it is clear of those before it.
    function drawAxes() {
      const placed = [];
      for (const part of axisParts) {
        const u = unit(part.letter);
        const dx = dot(u, view.right) * axisLength;
        const dy = -dot(u, view.up) * axisLength;
        const seen = Math.hypot(dx, dy) / axisLength;
        part.path.setAttribute("d", `M${axisOrigin[0]} ${axisOrigin[1]}l${dx.toFixed(1)} ${dy.toFixed(1)}`);
        part.ring.style.opacity = seen < 0.3 ? ((0.3 - seen) / 0.3).toFixed(2) : 0;
        let tries;
        if (seen < 0.3) {
          // Beside the ring, where the program puts it.
          tries = [[axisOrigin[0] - 14, axisOrigin[1] + 14], [axisOrigin[0] - 14, axisOrigin[1] + 26]];
        } else {
          // Centred beyond the line's end, farther out while it would
          // overlap a letter placed before it, and within the picture.
          tries = [7, 16, 25].map((beyond) => {
            const reach = seen * axisLength + beyond;
            const cx = axisOrigin[0] + (dx / (seen * axisLength)) * reach;
            const cy = axisOrigin[1] + (dy / (seen * axisLength)) * reach;
            return [Math.min(width - 1 - part.width, Math.max(1, cx - part.width / 2)),
                    Math.max(1 + part.ascent, cy + part.ascent - part.height / 2)];
          });
        }
        let [x, y] = tries[0];
        for (const [tx, ty] of tries) {
          const box = { left: tx, top: ty - part.ascent, right: tx + part.width, bottom: ty - part.ascent + part.height };
          if (!placed.some((other) => overlaps(box, other))) {
            [x, y] = [tx, ty];
            break;
          }
        }
        part.text.setAttribute("x", x.toFixed(1));
        part.text.setAttribute("y", y.toFixed(1));
        placed.push({ left: x, top: y - part.ascent, right: x + part.width, bottom: y - part.ascent + part.height });
      }
    }

    // The scale bar, "step" light-years long.
    function drawScale(step) {
      const [, x, y] = /^M([\d.]+) ([\d.]+)/.exec(scalePath.getAttribute("d")).map(Number);
      scalePath.setAttribute("d", `M${x.toFixed(1)} ${y.toFixed(1)}v-6v3h${(step * scale * zoom).toFixed(1)}v3v-6`);
      scaleText.textContent = `${step} light-year${step === 1 ? "" : "s"}`;
    }

    // The rings "step" light-years apart and the radius at the zoom, around
    // the centre where it is drawn, each with its length where that is
    // clear of the texts "fixed"; returns the boxes of the lengths shown.
    function drawRings(cx, cy, step, fixed) {
      const units = scale * zoom;
      const shown = [];
      const lengthAt = (text, ly, r) => {
        text.textContent = `${Number(ly.toPrecision(12))} ly`;
        const x = cx + r * 0.7071 + 4;
        const y = cy + r * 0.7071 + 10;
        text.setAttribute("x", x.toFixed(1));
        text.setAttribute("y", y.toFixed(1));
        const box = boxOf(text.getBBox());
        const free = inPlane(box) && ![...fixed, ...shown].some((other) => overlaps(box, other));
        text.style.visibility = free ? "" : "hidden";
        if (free) shown.push(box);
      };
      // At most the rings within the program's circle, as at rest.
      const count = Math.min(40, Math.ceil((circleUnits * 0.999) / (step * units)) - 1);
      const radiusLy = radiusCircle ? Number(radiusCircle.dataset.ly) : NaN;
      let k = 0;
      for (let i = 1; i <= count; i++) {
        const ly = i * step;
        if (Math.abs(ly - radiusLy) < step * 1e-6) continue;
        if (k === rings.length) {
          if (!ringTemplate) break;  // the program drew none to copy
          const circle = ringTemplate.circle.cloneNode(true);
          const text = ringTemplate.text.cloneNode(true);
          ringTemplate.circle.before(circle);
          ringTemplate.circle.before(text);
          rings.push({ circle, text });
        }
        const ring = rings[k++];
        ring.circle.style.display = ring.text.style.display = "";
        ring.circle.dataset.ly = ring.text.dataset.ly = Number(ly.toPrecision(12));
        ring.circle.setAttribute("cx", cx.toFixed(1));
        ring.circle.setAttribute("cy", cy.toFixed(1));
        ring.circle.setAttribute("r", (ly * units).toFixed(1));
        lengthAt(ring.text, ly, ly * units);
      }
      for (; k < rings.length; k++) rings[k].circle.style.display = rings[k].text.style.display = "none";
      if (radiusCircle) {
        radiusCircle.setAttribute("cx", cx.toFixed(1));
        radiusCircle.setAttribute("cy", cy.toFixed(1));
        radiusCircle.setAttribute("r", (radiusLy * units).toFixed(1));
        lengthAt(radiusText, radiusLy, radiusLy * units);
      }
      return shown;
    }
    // Where a star's name may go beside its dot, as the program tries them:
    // level with it, above or below, on the side with more room first;
    // then centred above or below it; then the other side.
    function places(star) {
      let reach = star.r;
      for (const other of stars) {
        if (!other.shown) continue;
        const apart = Math.hypot(other.x - star.x, other.y - star.y);
        if (apart <= star.r + other.r + 1) reach = Math.max(reach, apart + other.r);
      }
      const gap = reach + 2.5;
      const { x, y, length } = star;
      const beside = (right) => {
        const dx = right ? gap : -gap;
        return [[x + dx, y + 4, right], [x + dx, y - gap - 1, right], [x + dx, y + gap + 9, right]];
      };
      const rightFirst = x < width * 0.6;
      return [...beside(rightFirst), [x - length / 2, y - gap - 3, true], [x - length / 2, y + gap + 12, true],
              ...beside(!rightFirst)];
    }
    const labelBox = (star, [x, y, start]) => ({
      left: (start ? x : x - star.length) - outline,
      top: y - star.ascent - outline,
      right: (start ? x + star.length : x) + outline,
      bottom: y + star.descent + outline,
    });
    function moveLabel(label, [x, y, start]) {
      label.setAttribute("x", x.toFixed(1));
      label.setAttribute("y", y.toFixed(1));
      if (start) label.removeAttribute("text-anchor");
      else label.setAttribute("text-anchor", "end");
    }
    function setLabel(star, place, tip) {
      star.label.setAttribute("class", tip ? "name tip" : "name");
      moveLabel(star.label, place);
    }
    // Beside its dot on the side with more room, over whatever lies there:
    // the place of a name shown only while its dot is focused.
    function tipPlace(star) {
      const right = star.x < width * 0.6;
      const gap = star.r + 3;
      return [right ? star.x + gap : star.x - gap, star.y + 4, right];
    }

    // Names the centre and the ranked stars, as the program does, among
    // the texts that stay where they are ("fixed"): each in the first place
    // that lies within the plane, overlaps no text and covers no dot, else
    // in the one that covers the fewest faint dots (smaller than
    // data-faint) and no other; a star whose dot a name covers, or whose
    // dot touches that of a star named, is not named.
    function placeNames(fixed) {
      const taken = [...fixed];
      const named = new Set();
      const covered = new Set();
      const dotBox = (s) => ({ left: s.x - s.r, top: s.y - s.r, right: s.x + s.r, bottom: s.y + s.r });
      const shown = stars.filter((s) => s.shown);
      // How many dots a name in "box" covers; -1 where it may not go.
      const covering = (box) => {
        if (!inPlane(box) || taken.some((other) => overlaps(box, other))) return -1;
        let count = 0;
        for (const other of shown) {
          if (!overlaps(box, dotBox(other))) continue;
          if (other.r >= faintDot || named.has(other)) return -1;
          count++;
        }
        return count;
      };
      // Places the name of "star" (or of the centre) where it may go, the
      // place of the last time first, so that names do not jump; false
      // when there is none.
      const place = (star) => {
        const tries = places(star);
        let chosen = -1;
        let fewest = Infinity;
        const order = star.place >= 0 ? [star.place, ...tries.keys()] : [...tries.keys()];
        for (const i of order) {
          const count = covering(labelBox(star, tries[i]));
          if (count >= 0 && count < fewest) {
            chosen = i;
            fewest = count;
          }
          if (count === 0) break;
        }
        star.place = chosen;
        if (chosen < 0) return false;
        const box = labelBox(star, tries[chosen]);
        taken.push(box);
        for (const other of shown) if (overlaps(box, dotBox(other))) covered.add(other);
        moveLabel(star.label, tries[chosen]);
        return true;
      };
      if (middle.shown) {
        taken.push({ left: middle.x - 7, top: middle.y - 7, right: middle.x + 7, bottom: middle.y + 7 });
        if (middle.label) middle.label.style.visibility = place(middle) ? "" : "hidden";
      }
      for (const star of ranked) {
        const touches = [...named].some((other) => Math.hypot(other.x - star.x, other.y - star.y) <= other.r + star.r + 1);
        if (star.shown && named.size < maxNames && !touches && !covered.has(star) && place(star)) {
          star.label.setAttribute("class", "name");
          named.add(star);
        } else {
          star.place = -1;
          setLabel(star, tipPlace(star), true);
        }
      }
      for (const star of stars) if (star.rank === 0) setLabel(star, tipPlace(star), true);
    }

    function draw() {
      const toward = cross(view.right, view.up);
      const units = scale * zoom;
      const cx = originX + shiftX;
      const cy = originY + shiftY;
      for (const star of stars) {
        star.x = cx + dot(star.point, view.right) * units;
        star.y = cy - dot(star.point, view.up) * units;
        star.shown = star.x >= 0 && star.x <= width && star.y >= 0 && star.y <= height;
        for (const circle of [star.circle, star.doubt]) {
          if (!circle) continue;
          circle.setAttribute("cx", star.x.toFixed(1));
          circle.setAttribute("cy", star.y.toFixed(1));
        }
        // A dot off the picture is neither seen nor visited by the keyboard.
        star.a.style.visibility = star.shown ? "" : "hidden";
        star.depth = dot(star.point, toward);
        // Farther stars fainter, once the map is turned.
        star.a.style.opacity = turned
          ? (0.45 + 0.55 * Math.min(1, Math.max(0, (star.depth / extent + 1) / 2))).toFixed(2)
          : "";
      }
      drawAxes();
      const step = niceLength((circleUnits / units) * 0.6);
      drawScale(step);
      const fixed = [boxOf(axes.getBBox()), boxOf(scaleBar.getBBox())];
      fixed.push(...drawRings(cx, cy, step, fixed));
      middle.x = cx;
      middle.y = cy;
      middle.shown = cx >= 0 && cx <= width && cy >= 0 && cy <= height;
      centrePath.setAttribute("d", `M${(cx - 7).toFixed(1)} ${cy.toFixed(1)}h14M${cx.toFixed(1)} ${(cy - 7).toFixed(1)}v14`);
      centreMark.style.visibility = middle.shown ? "" : "hidden";
      placeNames(fixed);
      reset.hidden = !turned && zoom === 1 && shiftX === 0 && shiftY === 0;
    }

    // Turns the view: "across" about the picture's vertical, "down" about
    // its horizontal, in radians; a positive turn moves the near side right
    // or down.
    function turnBy(across, down) {
      const toward = cross(view.right, view.up);
      let right = combine(view.right, Math.cos(across), toward, Math.sin(across));
      const toward2 = cross(right, view.up);
      let up = combine(view.up, Math.cos(down), toward2, -Math.sin(down));
      // Kept orthonormal against rounding.
      up = normal(up);
      right = normal(combine(right, 1, up, -dot(right, up)));
      view = { right, up };
      turned = true;
      draw();
    }

    // Zooms by "factor" about the picture's point (x, y), which stays where
    // it is; about the middle of the plane when none is given.
    function zoomBy(factor, x = width / 2, y = height / 2) {
      const next = Math.min(mostZoom, Math.max(leastZoom, zoom * factor));
      const f = next / zoom;
      shiftX = x - originX - (x - originX - shiftX) * f;
      shiftY = y - originY - (y - originY - shiftY) * f;
      zoom = next;
      draw();
    }

    // Moves the map by (dx, dy) units, never so far that the centre leaves
    // the stars' space far behind.
    function moveBy(dx, dy) {
      const bound = (circleUnits + 40) * zoom;
      shiftX = Math.min(bound, Math.max(-bound, shiftX + dx));
      shiftY = Math.min(bound, Math.max(-bound, shiftY + dy));
      draw();
    }

    // Buttons that turn the map by a twelfth of a half turn, zoom it, and
    // bring it back to the plane as drawn.
    const step = Math.PI / 12;
    const controls = document.createElement("p");
    controls.className = "map-controls";
    const button = (text, label, action) => {
      const b = document.createElement("button");
      b.type = "button";
      b.textContent = text;
      if (label) {
        b.setAttribute("aria-label", label);
        b.title = label;
      }
      b.addEventListener("click", action);
      return b;
    };
    controls.append("Turn the map: ");
    const turns = [
      ["\u2190", "Turn left", -1, 0], ["\u2192", "Turn right", 1, 0],
      ["\u2191", "Tilt up", 0, -1], ["\u2193", "Tilt down", 0, 1],
    ];
    for (const [text, label, across, down] of turns) {
      controls.append(button(text, label, () => turnBy(across * step, down * step)), " ");
    }
    controls.append("or drag it. Zoom: ", button("+", "Zoom in", () => zoomBy(zoomStep)), " ",
                    button("\u2212", "Zoom out", () => zoomBy(1 / zoomStep)),
                    " or pinch it. Shift and a drag, or two fingers, move it. ");
    const reset = button("Back to the plane", null, () => {
      view = { right: initial.right, up: initial.up };
      turned = false;
      zoom = 1;
      shiftX = shiftY = 0;
      for (const star of stars) star.place = -1;
      draw();
    });
    reset.hidden = true;
    controls.append(reset);
    svg.after(controls);
    // A finger's drag across the map turns it; up and down, it scrolls the
    // page; two fingers move and zoom it.
    svg.style.touchAction = "pan-y";
    // A drag turns the map rather than selecting its names.
    svg.style.userSelect = "none";

    const unitsPerPixel = () => width / svg.getBoundingClientRect().width;
    const pictureX = (clientX) => (clientX - svg.getBoundingClientRect().left) * unitsPerPixel();
    const pictureY = (clientY) => (clientY - svg.getBoundingClientRect().top) * unitsPerPixel();
    const pointers = new Map();
    let drag = null;
    let dragged = false;
    const pinch = () => {
      const [p, q] = [...pointers.values()];
      return { x: (p.x + q.x) / 2, y: (p.y + q.y) / 2, apart: Math.max(1, Math.hypot(p.x - q.x, p.y - q.y)) };
    };
    svg.addEventListener("pointerdown", (event) => {
      if (event.button !== 0) return;
      pointers.set(event.pointerId, { x: event.clientX, y: event.clientY });
      if (pointers.size === 1) {
        drag = { x: event.clientX, y: event.clientY, id: event.pointerId, move: event.shiftKey };
        dragged = false;
      } else if (pointers.size === 2) {
        drag = { pinch: pinch() };
        dragged = true;
        for (const id of pointers.keys()) svg.setPointerCapture(id);
      }
    });
    svg.addEventListener("pointermove", (event) => {
      if (!pointers.has(event.pointerId)) return;
      pointers.set(event.pointerId, { x: event.clientX, y: event.clientY });
      if (!drag) return;
      if (drag.pinch) {
        if (pointers.size < 2) return;
        const [before, now] = [drag.pinch, pinch()];
        drag.pinch = now;
        const perPixel = unitsPerPixel();
        shiftX += (now.x - before.x) * perPixel;
        shiftY += (now.y - before.y) * perPixel;
        zoomBy(now.apart / before.apart, pictureX(now.x), pictureY(now.y));
        return;
      }
      if (event.pointerId !== drag.id) return;
      const dx = event.clientX - drag.x;
      const dy = event.clientY - drag.y;
      if (!dragged) {
        if (Math.hypot(dx, dy) < 4) return;
        // Only a drag is captured: a click still reaches its dot's link.
        dragged = true;
        svg.setPointerCapture(event.pointerId);
      }
      drag.x = event.clientX;
      drag.y = event.clientY;
      if (drag.move) {
        const perPixel = unitsPerPixel();
        moveBy(dx * perPixel, dy * perPixel);
      } else {
        // Half a turn for a drag across the whole map.
        const perPixel = Math.PI / svg.getBoundingClientRect().width;
        turnBy(dx * perPixel, dy * perPixel);
      }
    });
    const end = (event) => {
      pointers.delete(event.pointerId);
      // A pinch ends with both fingers; the one left does not turn.
      if (drag && (drag.pinch ? pointers.size === 0 : event.pointerId === drag.id)) drag = null;
    };
    svg.addEventListener("pointerup", end);
    svg.addEventListener("pointercancel", end);
    // The click that ends a drag does not follow the link under it.
    svg.addEventListener("click", (event) => {
      if (dragged) {
        event.preventDefault();
        event.stopPropagation();
        dragged = false;
      }
    }, true);
    // Ctrl and the wheel (a touchpad's pinch) zoom about the pointer; the
    // wheel alone scrolls the page.
    svg.addEventListener("wheel", (event) => {
      if (!event.ctrlKey) return;
      event.preventDefault();
      zoomBy(Math.exp(-event.deltaY * 0.01), pictureX(event.clientX), pictureY(event.clientY));
    }, { passive: false });

    svg.setAttribute("tabindex", "0");
    const keys = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
    svg.addEventListener("keydown", (event) => {
      if (event.key === "+" || event.key === "=") {
        zoomBy(zoomStep);
      } else if (event.key === "-" || event.key === "_") {
        zoomBy(1 / zoomStep);
      } else if (keys[event.key] && event.shiftKey) {
        moveBy(-keys[event.key][0] * 20, -keys[event.key][1] * 20);
      } else if (keys[event.key]) {
        turnBy((keys[event.key][0] * step) / 2, (keys[event.key][1] * step) / 2);
      } else {
        return;
      }
      event.preventDefault();
    });
    // The names placed with the browser's own font.
    draw();
  }

  function setUpAll() {
    for (const svg of document.querySelectorAll("svg.neighbour-map[data-centre]")) setUp(svg);
  }
  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", setUpAll);
  } else {
    setUpAll();
  }
})();
