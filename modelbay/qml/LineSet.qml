// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Extras 2.12

// Straight lines in one colour: `segments` holds x, y, z of both ends of each
// line, one after the other.
Entity {
    id: lineSet

    property var segments: []
    property color color: "white"

    components: [
        GeometryRenderer {
            primitiveType: GeometryRenderer.Lines
            vertexCount: lineSet.segments.length / 3
            geometry: Geometry {
                Attribute {
                    name: "vertexPosition"
                    attributeType: Attribute.VertexAttribute
                    vertexBaseType: Attribute.Float
                    vertexSize: 3
                    byteStride: 12
                    count: lineSet.segments.length / 3
                    buffer: Buffer {
                        data: new Float32Array(lineSet.segments).buffer
                    }
                }
                // Normals face down, away from the light: the lighting then
                // adds nothing and the lines keep their colour.
                Attribute {
                    name: "vertexNormal"
                    attributeType: Attribute.VertexAttribute
                    vertexBaseType: Attribute.Float
                    vertexSize: 3
                    byteStride: 12
                    count: lineSet.segments.length / 3
                    buffer: Buffer {
                        data: {
                            const normals = new Float32Array(lineSet.segments.length);
                            for (let i = 2; i < normals.length; i += 3)
                                normals[i] = -1;
                            return normals.buffer;
                        }
                    }
                }
            }
        },
        // The material multiplies ambient plus light by the diffuse colour:
        // a white ambient and no light give the diffuse colour itself.
        PhongMaterial {
            ambient: "white"
            diffuse: lineSet.color
            specular: "black"
        }
    ]
}
