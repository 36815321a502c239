// The perturbation of each bump kind, added to a normal n (not normalised here);
// x, y, z is the texture-space point. bump_eval (surface.h) chooses among them.
#pragma once

struct TextureSlot;

void bump_image(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_noise(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_dents(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_wrinkles(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_ripples(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_waves(double x, double y, double z, const TextureSlot* slot, float n[3]);
void bump_creases(double x, double y, double z, const TextureSlot* slot, float n[3]);
