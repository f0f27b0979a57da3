#version 120
// Put in front of every shader file: what all of them share. Line numbers in
// "_shaders.txt" are given in the shader file's own lines.

// The object's world matrix as the program sets it (read here transposed):
// an object-space position multiplies it as a row vector.
uniform mat4 ModelMatrix;
// Projection times view: multiplies a world-space position from the left.
uniform mat4 ViewProjectionMatrix;

vec4 ObjectToClip(vec4 position)
{
    return ViewProjectionMatrix * (position * ModelMatrix);
}
